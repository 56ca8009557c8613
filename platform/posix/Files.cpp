#include "platform/Files.h"

#include "platform/FileError.h"
#include "platform/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnvale::platform {

std::string NativePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path) {
    if (::mkdir(NativePath(path).c_str(), 0777) == 0)
        return true;
    if (errno == EEXIST && IsDirectory(path))
        return true;
    return RecordFileError();
}

bool RemoveEmptyDirectory(const std::string& path) {
    return ::rmdir(NativePath(path).c_str()) == 0 || RecordFileError();
}

bool RemoveFile(const std::string& path) {
    return ::unlink(NativePath(path).c_str()) == 0 || RecordFileError();
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    std::FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f)
        return RecordFileError();
    contents.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        contents.append(buffer, n);
    const bool ok = !std::ferror(f) || RecordFileError();
    std::fclose(f);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
    const std::string target = NativePath(path);
    const std::string temp = PartialName(target);
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return RecordFileError();
    bool ok =
        std::fwrite(contents.data(), 1, contents.size(), f) == contents.size() || RecordFileError();
    ok = (std::fclose(f) == 0 || RecordFileError()) && ok;
    if (ok && (std::rename(temp.c_str(), target.c_str()) == 0 || RecordFileError()))
        return true;
    std::remove(temp.c_str());
    return false;
}

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool ChangeDirectory(const std::string& path) {
    return ::chdir(NativePath(path).c_str()) == 0;
}

std::string ModulePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

} // namespace tarnvale::platform
