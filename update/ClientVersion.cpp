#include "update/ClientVersion.h"

#include <cstdio>

namespace tarnvale {
namespace {

// A piece is read as a decimal number from its first character: digits stop at the
// first non-digit, and a piece that does not begin with a digit reads as 0. Only
// the low 8 bits are kept, so 300 reads as 44. The sum wraps rather than
// overflows, which keeps the low bits of very long digit runs well defined.
std::uint8_t ReadPiece(std::string_view piece) {
    std::uint32_t value = 0;
    for (size_t i = 0; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(piece[i] - '0');
    return static_cast<std::uint8_t>(value);
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
