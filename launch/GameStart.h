#pragma once

#include "launch/ConnectionParameters.h"
#include "msg/MessageBoxRequest.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/UpdateState.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Starting the game client for the chosen partition and ending the launcher.
namespace tarnvale {

struct GameStartHooks;

// Hands the error box for a start result, if it has one, to the front end.
void ReportStartResult(const LauncherState& state, const GameStartHooks& hooks,
                       std::intptr_t result);

// The game client's command line: "connect " "/y" + scrambled address + " /z" +
// scrambled port text + " ", each text scrambled from its own index 0. For an
// address of n bytes and a port of d digits it is 14 + n + d bytes long.
std::string BuildGameCommandLine(std::string_view address, std::string_view portText,
                                 const ParamKey& key);
// The game client's side: the address and the port text back from a command line
// built above (its final space may be missing). False when the line has another
// form or the port is not 1 to 5 decimal digits.
bool DecodeGameCommandLine(std::string_view line, const ParamKey& key, std::string& address,
                           std::string& portText);

// Fills gameServerAddress and gameServerPortText from the chosen partition entry
// and returns the command line for the game client.
std::string PrepareGameCommandLine(LauncherState& state);

// What game start needs from the rest of the launcher. Each piece belongs to
// another part of the program and is handed in by whoever runs the window; an
// empty function is skipped.
struct GameStartHooks {
    std::function<void()> playClickSound;       // "data\sound\beep.wav", asynchronously
    std::function<bool()> isConfigPresent;      // the window's IsConfigPresent
    std::function<void()> runOptionsDialog;     // the options dialog, modally
    std::function<void()> hideConnectButton;    // hide and disable the Connect button
    std::function<void()> cleanTempFolder;      // the installation's CleanTempFolder
    std::function<void()> closeSocket;          // SocketClient Close
    std::function<void()> closeFtpSession;      // the FTP road's CloseFtpSession
    std::function<void()> postQuitMessage;      // PostQuitMessage(0) on the calling thread
    std::function<std::intptr_t()> closeWindow; // send WM_CLOSE to the launcher window
    // The front end's way to show the error boxes of the game start (the system's
    // box unless replaced).
    std::function<void(const MessageBoxRequest&)> showBox;

    // The start and the end of the process; tests replace them to watch instead.
    std::function<std::intptr_t(const char* file, const std::string& parameters)> startProgram;
    std::function<void(unsigned exitCode)> endProcess;
    const char* gameClientExe;
    ConnectionChannel channel;

    GameStartHooks();
};

// The Connect command. Outside the ready state it only asks for a connection.
// Otherwise it stores the connection parameters, starts the game client and ends
// the process with exit code 0; when the parameters cannot be stored it shows
// text 151 and closes the window instead, without starting the client.
void OnConnectButton(LauncherState& state, LauncherWindow& window, UpdateState& update,
                     const GameStartHooks& hooks);

// The hand-over after an update replaced the launcher itself: starts the game
// client without fresh connection parameters and closes the launcher. Returns the
// result of closing the window.
std::intptr_t StartAfterSelfUpdate(LauncherState& state, const GameStartHooks& hooks);

} // namespace tarnvale
