#include "platform/FileAttributes.h"

#include "platform/Files.h"

#include <sys/stat.h>

namespace tarnvale::platform {

bool SetNormalFileAttributes(const std::string& path) {
    const std::string native = NativePath(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0)
        return false;
    if (st.st_mode & S_IWUSR)
        return true;
    return ::chmod(native.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

} // namespace tarnvale::platform
