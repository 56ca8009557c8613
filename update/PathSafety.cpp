#include "update/PathSafety.h"

#include <array>
#include <cctype>
#include <string>

namespace tarnvale {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDeviceName(std::string_view element) {
    // Windows treats "NUL.txt" and "nul .bmd" as the device too: only the part
    // before the first dot counts, with trailing blanks ignored.
    std::string_view stem = element.substr(0, element.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    std::string upper;
    for (char c : stem)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : kPlain) {
        if (upper == device)
            return true;
    }
    if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0))
        return upper[3] >= '1' && upper[3] <= '9';
    return false;
}

bool IsSafeElement(std::string_view element) {
    if (element.empty())
        return false;
    if (element.find_first_not_of(". ") == std::string_view::npos)
        return false;
    for (char c : element) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
        switch (c) {
        case '<':
        case '>':
        case '"':
        case '?':
        case '*':
        case ':':
            return false;
        default:
            break;
        }
    }
    return !IsDeviceName(element);
}

} // namespace

bool IsSafeGamePath(std::string_view name) {
    if (name.empty() || IsSeparator(name.front()))
        return false;
    // One trailing separator marks a folder entry.
    if (IsSeparator(name.back()))
        name.remove_suffix(1);
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        if (!IsSafeElement(name.substr(start, end - start)))
            return false;
        if (end == name.size())
            return true;
        start = end + 1;
    }
}

} // namespace tarnvale
