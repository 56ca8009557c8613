#pragma once

#include <string>

// Files and folders. Paths are byte strings in the system's code page and may use
// "\" as the separator, as the game's lists and archives do; the POSIX layer turns
// it into "/". Relative paths are relative to the current directory, the game folder.
namespace tarnvale::platform {

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirectory(const std::string& path); // true if created or already there
bool RemoveEmptyDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& contents);
// Writes through a temporary sibling (PartialName) and renames it into place, so
// a failure never leaves a half-written file under the final name. Failures of
// these operations keep the system's error code for LastFileError.
bool WriteWholeFile(const std::string& path, const std::string& contents);

std::string CurrentDirectory();
bool ChangeDirectory(const std::string& path);
// Full path of the running executable; empty if the system cannot tell.
std::string ModulePath();

// The path as the operating system expects it ("\" becomes "/" on POSIX).
std::string NativePath(const std::string& path);

} // namespace tarnvale::platform
