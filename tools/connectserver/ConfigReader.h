#pragma once

#include "Config.h"

#include <string>
#include <string_view>

namespace tarnvale::connectserver {

// Reads the configuration file's text. On failure `error` says what is wrong and
// on which line, and `config` must not be used. Partition names are written in
// UTF-8 and converted into the players' code page (`codepage` in [server]);
// \xNN escapes give bytes already in that code page.
bool ParseConfig(std::string_view text, Config& config, std::string& error);

} // namespace tarnvale::connectserver
