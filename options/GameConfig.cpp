#include "options/GameConfig.h"

#include "launch/GameClient.h"

namespace tarnvale::options {
namespace {

// The DWORD values in the order a load reads them, each with its field.
struct DwordField {
    const char* name;
    std::int32_t GameConfig::*field;
};
constexpr DwordField kLoadOrder[] = {
    {gameclient::kValueSoundOnOff, &GameConfig::soundOnOff},
    {gameclient::kValueMusicOnOff, &GameConfig::musicOnOff},
    {gameclient::kValueResolution, &GameConfig::resolution},
    {gameclient::kValueColorDepth, &GameConfig::colorDepth},
    {gameclient::kValueWindowMode, &GameConfig::windowMode},
};
// The order in which a save writes them, after "ID".
constexpr DwordField kSaveOrder[] = {
    {gameclient::kValueSoundOnOff, &GameConfig::soundOnOff},
    {gameclient::kValueMusicOnOff, &GameConfig::musicOnOff},
    {gameclient::kValueColorDepth, &GameConfig::colorDepth},
    {gameclient::kValueResolution, &GameConfig::resolution},
    {gameclient::kValueWindowMode, &GameConfig::windowMode},
};

bool Within(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

} // namespace

void Validate(GameConfig& config) {
    if (!Within(config.resolution, kResolution800x600, kResolution1920x1080))
        config.resolution = kResolution1024x768;
    if (!Within(config.musicOnOff, 0, 1))
        config.musicOnOff = 1;
    if (!Within(config.colorDepth, kColorDepth16, kColorDepth32))
        config.colorDepth = kColorDepth16;
}

bool LoadGameConfig(GameConfig& config, const VeyMsg& messages, const ConfigKeyLocation& where) {
    platform::RegistryKey key;
    if (!OpenConfigKey(key, where)) {
        ShowConfigKeyError(messages);
        return false;
    }
    std::string id;
    if (key.QueryString(gameclient::kValueId, id, kAccountIdBufferSize))
        config.accountId = id;
    else
        key.SetString(gameclient::kValueId, config.accountId.c_str());

    Validate(config);
    for (const DwordField& value : kLoadOrder) {
        std::uint32_t stored = 0;
        if (key.QueryDword(value.name, stored))
            config.*value.field = static_cast<std::int32_t>(stored);
        else
            key.SetDword(value.name, static_cast<std::uint32_t>(config.*value.field));
        // No resolution is numbered 0; the client takes it for the smallest.
        if (value.field == &GameConfig::resolution && config.resolution == 0)
            config.resolution = kResolution800x600;
    }
    return true;
}

bool SaveGameConfig(GameConfig& config, const VeyMsg& messages, const ConfigKeyLocation& where) {
    platform::RegistryKey key;
    if (!OpenConfigKey(key, where)) {
        ShowConfigKeyError(messages);
        return false;
    }
    Validate(config);
    // Every value is attempted even after a failure, so that as much as possible
    // of the player's choice reaches the game client; the box then says that not
    // all of it did.
    bool written = key.SetString(gameclient::kValueId, config.accountId.c_str());
    for (const DwordField& value : kSaveOrder)
        written =
            key.SetDword(value.name, static_cast<std::uint32_t>(config.*value.field)) && written;
    if (!written)
        ShowConfigKeyError(messages);
    return written;
}

} // namespace tarnvale::options
