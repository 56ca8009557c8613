#pragma once

#include "options/ConfigKey.h"

#include <cstdint>
#include <string>

namespace tarnvale {
class VeyMsg;
}

namespace tarnvale::options {

// Screen resolutions as the game client numbers them.
enum Resolution : std::int32_t {
    kResolution800x600 = 1,
    kResolution1024x768 = 2,
    kResolution1280x960 = 3,
    kResolution1920x1080 = 4,
};

// Colour depths as the game client numbers them.
enum ColorDepth : std::int32_t {
    kColorDepth16 = 0,
    kColorDepth32 = 1,
};

// The game client's display and sound settings, one field per registry value.
// The initial values are what a first run stores. The numbers are signed because
// a stored value may be anything, and the rules below must see 0xFFFFFFFF as out
// of range rather than as a large resolution.
struct GameConfig {
    std::string accountId;                         // "ID", REG_SZ
    std::int32_t soundOnOff = 1;                   // "SoundOnOff": 1 on, 0 off
    std::int32_t musicOnOff = 1;                   // "MusicOnOff": 1 on, 0 off
    std::int32_t resolution = kResolution1024x768; // "Resolution"
    std::int32_t colorDepth = kColorDepth16;       // "ColorDepth"
    std::int32_t windowMode = 0;                   // "WindowMode": 1 windowed, 0 full screen
};

// A stored "ID" is read into a buffer of this many bytes, its terminating zero
// included; a longer one is replaced by the current account ID.
inline constexpr std::size_t kAccountIdBufferSize = 64;
// The most characters the player can type into the account ID box.
inline constexpr int kAccountIdMaxChars = 10;

// Brings the fields the game client cannot do without back into range: a
// resolution outside 1..4 becomes 1024 x 768, music outside 0..1 becomes on and a
// colour depth outside 0..1 becomes 16 bits. Sound effects, window mode and the
// account ID are left as they are.
void Validate(GameConfig& config);

// Reads the settings into `config`, which holds the dialog's initial values on
// entry. Every value that is missing, of another type or (for "ID") too long is
// written back with the value `config` then holds, so that after the first
// opening the key holds all six values. The DWORDs are not validated here, so the
// dialog shows what is stored; only a stored resolution of 0 reads as 800 x 600.
// When the key cannot be opened, the error box is shown, nothing is read and
// false is returned.
bool LoadGameConfig(GameConfig& config, const VeyMsg& messages,
                    const ConfigKeyLocation& where = {});

// Validates `config` and writes all six values in the order "ID", "SoundOnOff",
// "MusicOnOff", "ColorDepth", "Resolution", "WindowMode". When the key cannot be
// opened nothing is written; when it cannot be opened or a value cannot be
// written, the error box is shown and false is returned.
bool SaveGameConfig(GameConfig& config, const VeyMsg& messages,
                    const ConfigKeyLocation& where = {});

} // namespace tarnvale::options
