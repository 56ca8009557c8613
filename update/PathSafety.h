#pragma once

#include <string_view>

namespace tarnvale {

// Whether a name taken from an update (an archive entry, a patch-list entry, the
// name after an "@" removal, a journal line) stays inside the game folder when it
// is appended to it. Both "\" and "/" count as separators. Refused:
// - empty names, and names that start with a separator (rooted paths);
// - any ":" (drive letters such as "C:x", and alternate data streams);
// - a ".." element, or any element made only of dots and blanks, which Windows
//   would shorten to "." or "..";
// - empty elements inside the name ("a\\b"); one trailing separator, which marks
//   a folder entry, is allowed;
// - control characters and the characters Windows forbids in names (< > " ? *;
//   "|" is let through because it occurs as the second byte of double-byte
//   characters in the system's code page);
// - elements that name a Windows device (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
//   CONIN$, CONOUT$, with or without an extension), which would not be files.
// Installation refuses the whole version when one of its names is refused.
bool IsSafeGamePath(std::string_view name);

} // namespace tarnvale
