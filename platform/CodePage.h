#pragma once

#include <string>
#include <string_view>

// Conversion between UTF-8, in which operators write names and texts on their
// machines, and the players' Windows code pages (936, 949, ...), in which patch
// lists, archives and connect-server packets carry them. Nothing is ever
// substituted: text that cannot be converted exactly is refused, so a name never
// reaches players as something other than what the operator wrote.
namespace tarnvale::platform {

// Code page 936 (simplified Chinese), the players' code page unless told otherwise.
inline constexpr unsigned kPlayersCodePage = 936;

// Reads a code page as operators write it: "936", "CP936" or "cp936". False for
// anything else.
bool ParseCodePage(std::string_view text, unsigned& codePage);

// UTF-8 into the code page. False, and `out` unspecified, when the text is not
// valid UTF-8, holds a character the code page lacks, or the code page is unknown.
bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& out);

// Code-page bytes into UTF-8. False when the bytes are not valid in the code page.
bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out);

} // namespace tarnvale::platform
