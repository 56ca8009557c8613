#include "options/WindowModeValue.h"

#include "launch/GameClient.h"

namespace tarnvale::options {

std::uint32_t PrepareWindowModeValue(const ConfigKeyLocation& where) {
    platform::RegistryKey key;
    bool created = false;
    if (!OpenConfigKey(key, where, &created))
        return 0;
    std::uint32_t state = 0;
    if (created || !key.QueryDword(gameclient::kValueWindowMode, state)) {
        state = 0;
        key.SetDword(gameclient::kValueWindowMode, state);
    }
    return state;
}

bool StoreWindowMode(std::uint32_t state, const ConfigKeyLocation& where) {
    platform::RegistryKey key;
    return OpenConfigKey(key, where) && key.SetDword(gameclient::kValueWindowMode, state);
}

} // namespace tarnvale::options
