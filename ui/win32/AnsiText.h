#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>

namespace tarnvale::ui {

// The length of the longest prefix of a text in the system code page that fits in
// maxBytes without cutting a double-byte character in half.
inline std::size_t AnsiPrefixLength(const char* text, std::size_t maxBytes) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        const std::size_t step =
            ::IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] != '\0' ? 2 : 1;
        if (length + step > maxBytes)
            break;
        length += step;
    }
    return length;
}

// Copies a text into a fixed buffer, cut (at a character boundary) to fit with its
// terminator.
template <std::size_t N> void CopyAnsiText(char (&buffer)[N], const char* text) {
    const std::size_t length = text ? AnsiPrefixLength(text, N - 1) : 0;
    if (length)
        std::memmove(buffer, text, length);
    buffer[length] = '\0';
}

} // namespace tarnvale::ui
