#pragma once

#include "launch/GameClient.h"
#include "platform/Registry.h"

#include <string>

namespace tarnvale {
class VeyMsg;
}

namespace tarnvale::options {

// Where the game client's settings live. The launcher always uses the per-user
// key the client reads; tests point it at a key of their own.
struct ConfigKeyLocation {
    platform::RegistryRoot root = platform::RegistryRoot::CurrentUser;
    std::string path = gameclient::kConfigKeyPath;
};

// Opens the settings key, creating it when it is missing. The options dialog and
// the launcher window's window-mode value both come through here, so the two
// writers always meet at the same key with the same rights. `created` tells
// whether the key was new. False when the key can be neither opened nor created.
bool OpenConfigKey(platform::RegistryKey& key, const ConfigKeyLocation& where,
                   bool* created = nullptr);

// The box that says the settings could not be opened or saved: message text 200
// with caption text 201 and the error icon. `ownedByMainWindow` lets the launcher
// window own it; the options dialog's box has no owner.
void ShowConfigKeyError(const VeyMsg& messages, bool ownedByMainWindow = false);

} // namespace tarnvale::options
