#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// config.ini, read and written by the launcher's own code on every platform. The
// Windows build used to go through the system's profile functions; the results
// here are the ones those functions give on the same files, so that a game folder
// behaves alike whichever build touches it:
// - lines end at "\r", "\n" or both; blanks, tabs, "\v", "\f" and the DOS
//   end-of-file byte 0x1A around a line, around a section name inside its
//   brackets, and around a key and its "=" are ignored;
// - "[name]" opens a section (the name runs to the line's last "]"); a line
//   starting with "[" without any "]" is an ordinary line of the section before;
//   lines before the first header form a section without a name;
// - sections and keys match without regard to letter case, and only the first
//   section of a name is searched, and in it the first key of a name;
// - a key line without "=" has no value, so the default applies;
// - a value enclosed in matching double or single quotes loses them;
// - a file that begins with a UTF-8 or UTF-16 byte-order mark is read in that
//   encoding (texts handed back are ASCII-exact; other characters of a UTF-16
//   file come back as "?").
// Comment lines (";" ...) need no rule of their own: they never match a key.
namespace tarnvale::ini {

// The value of `key` in `section`, as a profile-string read into a buffer of
// `bufferSize` bytes (at least 1) would hold it: at most bufferSize - 1 bytes,
// `defaultValue` (less its trailing blanks) when the section, the key or its value
// is missing.
std::string ReadProfileString(std::string_view fileBytes, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize);
// The same from a file; a file that cannot be read counts as empty.
std::string ReadProfileStringFromFile(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view defaultValue,
                                      std::size_t bufferSize);

// Sets `key` in `section` to `value` (less its leading blanks) and keeps every
// other byte of the file: an existing value is replaced where it stands, a new key
// goes after the section's last line, a new section at the end of the file. New
// lines take the file's own line ends (CRLF for a file without any). Fails, and
// leaves the bytes alone, for a value holding a line break or a zero byte.
bool SetProfileString(std::string& fileBytes, std::string_view section, std::string_view key,
                      std::string_view value);
// The same on a file, created if missing. The file is replaced through a temporary
// sibling, so a failure never leaves it half written. Unchanged files are not
// rewritten.
bool WriteProfileStringToFile(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view value);
// Several keys of one section in one replacement of the file, so that they
// change together or not at all.
struct ProfileEntry {
    std::string_view key;
    std::string_view value;
};
bool WriteProfileStringsToFile(const std::string& path, std::string_view section,
                               const std::vector<ProfileEntry>& entries);

} // namespace tarnvale::ini
