#pragma once

#include <cstddef>
#include <string_view>

namespace tarnvale {

// Whether two names are equal without regard to the case of ASCII letters, as file
// names, list keywords and registry names are compared. Other bytes (those of the
// system's double-byte code pages among them) compare exactly, whatever the locale.
inline bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    auto fold = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

} // namespace tarnvale
