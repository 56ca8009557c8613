#pragma once

#include "options/ConfigKey.h"

#include <cstdint>

// The launcher window's share of the settings key: the "WindowMode" value, which
// the options dialog edits too.
namespace tarnvale::options {

// At the launcher window's start: opens or creates the settings key and makes
// sure "WindowMode" exists, writing 0 (full screen) when the key is new or the
// value cannot be read; a readable value is left alone. Returns the window-mode
// state: the stored value, or 0 when it was missing or the key could not be opened.
std::uint32_t PrepareWindowModeValue(const ConfigKeyLocation& where = {});

// The window-mode toggle: writes `state` as "WindowMode". False when the key
// cannot be opened or the value cannot be written; the caller shows the error box
// (ShowConfigKeyError) and decides what follows.
bool StoreWindowMode(std::uint32_t state, const ConfigKeyLocation& where = {});

} // namespace tarnvale::options
