#include "update/ClientVersion.h"

#include <cstdio>
#include <cstdlib>

namespace tarnvale {
namespace {

// atoi's reading: optional blanks and sign, then digits up to the first other
// character; anything unreadable is 0. Only the low 8 bits are kept.
std::uint8_t ReadPiece(std::string_view piece) {
    size_t i = 0;
    while (i < piece.size() && (piece[i] == ' ' || (piece[i] >= '\t' && piece[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-'))
        negative = piece[i++] == '-';
    std::uint32_t value = 0;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(piece[i] - '0');
    return static_cast<std::uint8_t>(negative ? 0u - value : value);
}

} // namespace

ClientVersion ParseVersionReadForm(std::string_view text) {
    std::uint8_t parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3 && !text.empty()) {
        const size_t dot = text.find('.');
        const std::string_view piece = text.substr(0, dot);
        text.remove_prefix(dot == std::string_view::npos ? text.size() : dot + 1);
        if (piece.empty())
            continue; // ".." counts as one separator
        parts[count++] = ReadPiece(piece);
    }
    return {parts[0], parts[1], parts[2]};
}

std::string FormatConfigForm(const ClientVersion& version) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d.%02d", version.major, version.minor, version.build);
    return text;
}

std::string FormatLogForm(const ClientVersion& version) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d", version.major, version.minor, version.build);
    return text;
}

} // namespace tarnvale
