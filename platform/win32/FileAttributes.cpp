#include "platform/FileAttributes.h"

#include <windows.h>

namespace tarnvale::platform {

bool SetNormalFileAttributes(const std::string& path) {
    return ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

} // namespace tarnvale::platform
