#pragma once

#include <string>

namespace tarnvale::platform {

// Clears what would stop the file from being replaced or deleted: on Windows the
// read-only, hidden and system attributes (the file becomes "normal"), on POSIX a
// missing owner write permission. False if the file does not exist or the change
// was refused.
bool SetNormalFileAttributes(const std::string& path);

} // namespace tarnvale::platform
