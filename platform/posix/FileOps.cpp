#include "platform/FileOps.h"

#include "platform/FileError.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnvale::platform {
namespace {

bool Fail() {
    return RecordFileError();
}

// Creates a file that did not exist before beside `target`, so a staging name
// can never clobber a file that happens to carry it.
int CreateSibling(const std::string& target, mode_t mode, std::string& stagePath) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        stagePath = StagingName(target, static_cast<unsigned long>(::getpid()), attempt);
        const int fd = ::open(stagePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    RecordFileError(errno);
    stagePath.clear();
    return -1;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail();
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string PartialName(const std::string& target) {
    return StagingName(target, static_cast<unsigned long>(::getpid()), 0);
}

namespace {
thread_local int t_lastError = 0;
} // namespace

bool RecordFileError() {
    t_lastError = errno;
    return false;
}

void RecordFileError(int code) {
    t_lastError = code;
}

int LastFileError() {
    return t_lastError;
}

std::string FileErrorText(int code) {
    return std::strerror(code);
}

std::string LastFileErrorText() {
    return FileErrorText(t_lastError);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    const std::string target = NativePath(to);
    const int in = ::open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail();
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        RecordFileError(S_ISREG(st.st_mode) ? errno : EISDIR);
        ::close(in);
        return false;
    }
    // The system copy on Windows refuses a read-only target; so does this one,
    // also when running with privileges that would ignore the permission.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && !(existing.st_mode & S_IWUSR)) {
        ::close(in);
        RecordFileError(EACCES);
        return false;
    }
    std::string stage;
    const int out = CreateSibling(target, st.st_mode & 07777, stage);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    static thread_local char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = Fail();
            break;
        }
        if (n == 0)
            break;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    if (::close(out) != 0 && ok)
        ok = Fail();
    if (ok) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, stage.c_str(), times, 0);
        if (::rename(stage.c_str(), target.c_str()) == 0)
            return true;
        Fail();
    }
    ::unlink(stage.c_str());
    return false;
}

bool PlaceStagedCopy(const std::string& from, const std::string& to) {
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0)
        return Fail();
    if (!S_ISREG(st.st_mode)) {
        RecordFileError(EISDIR);
        return false;
    }
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        // As CopyFileReplacing: a read-only target is not replaced.
        if (!(existing.st_mode & S_IWUSR)) {
            RecordFileError(EACCES);
            return false;
        }
        // Already in place (an earlier, interrupted attempt linked it); renaming
        // a second link over it would leave that link behind.
        if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino)
            return true;
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string stage =
            StagingName(target, static_cast<unsigned long>(::getpid()), attempt);
        if (::link(source.c_str(), stage.c_str()) != 0) {
            if (errno == EEXIST)
                continue;
            break; // another file system, or links not supported: copy instead
        }
        if (::rename(stage.c_str(), target.c_str()) == 0)
            return true;
        Fail();
        ::unlink(stage.c_str());
        return false;
    }
    return CopyFileReplacing(from, to);
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    return ::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 || Fail();
}

bool FileSize(const std::string& path, std::uint64_t& size) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0)
        return Fail();
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool ReadAttributes(const std::string& path, std::uint32_t& attributes) {
    struct stat st {};
    if (::lstat(NativePath(path).c_str(), &st) != 0)
        return Fail();
    attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= kAttrDirectory;
    if (!(st.st_mode & S_IWUSR))
        attributes |= kAttrReadOnly;
    if (attributes == 0)
        attributes = kAttrNormal;
    return true;
}

bool WriteAttributes(const std::string& path, std::uint32_t attributes) {
    const std::string native = NativePath(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0)
        return Fail();
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly) {
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
        mode |= S_IWUSR;
    }
    if (mode == (st.st_mode & 07777))
        return true;
    return ::chmod(native.c_str(), mode) == 0 || Fail();
}

bool SetFileTimes(const std::string& path, const LocalDateTime& modified) {
    if (modified.month < 1 || modified.month > 12 || modified.day < 1 || modified.day > 31 ||
        modified.hour > 23 || modified.minute > 59 || modified.second > 59) {
        RecordFileError(EINVAL);
        return false;
    }
    std::tm local{};
    local.tm_year = modified.year - 1900;
    local.tm_mon = modified.month - 1;
    local.tm_mday = modified.day;
    local.tm_hour = modified.hour;
    local.tm_min = modified.minute;
    local.tm_sec = modified.second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) {
        RecordFileError(EINVAL);
        return false;
    }
    // POSIX keeps no creation time; the access time becomes the present.
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) == 0 || Fail();
}

bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    const std::string native = NativePath(folder);
    DIR* dir = ::opendir(native.empty() ? "." : native.c_str());
    if (!dir)
        return Fail();
    std::string base = native;
    if (!base.empty() && base.back() != '/')
        base += '/';
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        DirectoryEntry item;
        item.name = name;
        struct stat st {};
        if (::lstat((base + name).c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                item.attributes |= kAttrDirectory;
            if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
                item.attributes |= kAttrReadOnly;
        }
        if (item.attributes == 0)
            item.attributes = kAttrNormal;
        entries.push_back(std::move(item));
    }
    ::closedir(dir);
    return true;
}

namespace {
bool RemoveTreeNative(const std::string& native) {
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0)
        return errno == ENOENT || Fail();
    if (!S_ISDIR(st.st_mode))
        return ::unlink(native.c_str()) == 0 || Fail();
    bool ok = true;
    if (DIR* dir = ::opendir(native.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            if (::strcmp(entry->d_name, ".") != 0 && ::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        for (const std::string& name : names)
            ok = RemoveTreeNative(native + "/" + name) && ok;
    } else {
        ok = Fail();
    }
    return (::rmdir(native.c_str()) == 0 || Fail()) && ok;
}
} // namespace

bool RemoveTree(const std::string& folder) {
    std::string native = NativePath(folder);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    return RemoveTreeNative(native);
}

bool InputFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        RecordFileError(S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return false;
    }
    m_handle = fd;
    return true;
}

bool InputFile::Read(void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (m_handle < 0)
        return false;
    char* p = static_cast<char*>(buffer);
    while (got < size) {
        const ssize_t n = ::read(static_cast<int>(m_handle), p + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail();
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool InputFile::Seek(std::uint64_t position) {
    return m_handle >= 0 &&
           (::lseek(static_cast<int>(m_handle), static_cast<off_t>(position), SEEK_SET) >= 0 ||
            Fail());
}

bool InputFile::Size(std::uint64_t& size) const {
    struct stat st {};
    if (m_handle < 0 || ::fstat(static_cast<int>(m_handle), &st) != 0)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void InputFile::Close() {
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

bool StagedFile::Create(const std::string& finalPath) {
    Discard();
    m_finalPath = finalPath;
    const int fd = CreateSibling(NativePath(finalPath), 0666, m_stagePath);
    if (fd < 0)
        return false;
    m_handle = fd;
    return true;
}

bool StagedFile::Write(const void* data, std::size_t size) {
    return m_handle >= 0 && WriteAll(static_cast<int>(m_handle), data, size);
}

bool StagedFile::CloseHandle() {
    if (m_handle < 0)
        return true;
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    return ::close(fd) == 0 || Fail();
}

bool StagedFile::Commit() {
    if (m_stagePath.empty())
        return false;
    bool ok = CloseHandle();
    if (ok && ::rename(m_stagePath.c_str(), NativePath(m_finalPath).c_str()) != 0)
        ok = Fail();
    if (!ok)
        ::unlink(m_stagePath.c_str());
    m_stagePath.clear();
    return ok;
}

void StagedFile::Discard() {
    CloseHandle();
    if (!m_stagePath.empty())
        ::unlink(m_stagePath.c_str());
    m_stagePath.clear();
}

bool StagedFile::IsOpen() const {
    return m_handle >= 0;
}

} // namespace tarnvale::platform
