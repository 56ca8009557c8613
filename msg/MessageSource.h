#pragma once

#include "msg/MessageFile.h"

#include <string>
#include <string_view>
#include <vector>

// The readable source of a message table: one record per line, the decimal
// identifier, a tab, then the text with the escapes \\, \t, \n and \r; every
// other byte stands for itself. Lines may end in "\n" or "\r\n"; blank lines are
// skipped. Each identifier is defined once.
namespace tarnvale::msg {

struct SourceError {
    int line = 0; // 1-based
    std::string what;
};

// Returns false and fills `error` on the first bad line.
bool ParseMessageSource(std::string_view source, std::vector<MessageFileRecord>& records,
                        SourceError& error);
std::string FormatMessageSource(const std::vector<MessageFileRecord>& records);

} // namespace tarnvale::msg
