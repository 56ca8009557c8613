#pragma once

#include <cstddef>
#include <cstdint>

// What the launcher fixes about the game client: the three channels through which
// it hands the client its settings and its game server, and how the result of
// starting it is reported. The client's own working is outside the launcher.
namespace tarnvale::gameclient {

// Channel 1: the per-user key that holds the display and sound settings the
// options dialog writes.
inline constexpr char kConfigKeyPath[] = "SOFTWARE\\Qorvex\\VEY\\Config";
inline constexpr char kValueId[] = "ID";
inline constexpr char kValueSoundOnOff[] = "SoundOnOff";
inline constexpr char kValueMusicOnOff[] = "MusicOnOff";
inline constexpr char kValueResolution[] = "Resolution";
inline constexpr char kValueColorDepth[] = "ColorDepth";
inline constexpr char kValueWindowMode[] = "WindowMode";

// Channel 2: the machine-wide key through which the chosen game server passes,
// written immediately before the start and deleted by the client once read.
inline constexpr char kConnectionKeyPath[] = "SOFTWARE\\Qorvex\\Vey\\Connection";
inline constexpr char kValueParameterA[] = "ParameterA"; // scrambled address text
inline constexpr char kValueParameterB[] = "ParameterB"; // scrambled port
inline constexpr char kValueKeyStamp[] = "Key";          // millisecond time stamp
// The launcher writes the parameters no later than this after the stamp...
inline constexpr std::uint32_t kWriterStampLimitMs = 5000;
// ...and the client accepts them only this long after the stamp.
inline constexpr std::uint32_t kReaderStampLimitMs = 26000;
// A missing stamp reads as this value.
inline constexpr std::uint32_t kMissingStamp = 0xFFFFFFFFu;
// The address text handed over is at most this many bytes.
inline constexpr unsigned kMaxAddressLength = 255;

// Channel 3: the process start. The client is started from the current directory
// with the shell verb "open", shown normally, and a command line of the form
// "connect /y<address> /z<port> " in which both values are scrambled.
inline constexpr char kShellVerb[] = "open";
inline constexpr int kShowCommand = 5; // SW_SHOW
inline constexpr char kCommandPrefix[] = "connect ";
inline constexpr char kAddressSwitch[] = "/y";
inline constexpr char kPortSwitch[] = " /z";
inline constexpr char kCommandSuffix[] = " ";
// The command line is built in a buffer of this size.
inline constexpr unsigned kCommandLineBufferSize = 256;

// The message text that reports a start result of the shell (platform::kStart*):
// 131, 132 or 133, or 0 when the result is not reported. Results above 32 mean
// the start succeeded.
int StartResultMessage(std::intptr_t result);

// Why a start failed, in words, for every result of 32 or less (the window shows
// only the three results above; the headless launcher reports them all);
// nullptr when the result means the client started.
const char* StartFailureReason(std::intptr_t result);

} // namespace tarnvale::gameclient
