#include "platform/InstanceMutex.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace tarnvale::platform {

struct InstanceMutex::Impl {
    int fd = -1;
    int folderFd = -1;
    bool keep = false;
};

InstanceMutex::InstanceMutex() : m_impl(std::make_unique<Impl>()) {}

InstanceMutex::~InstanceMutex() {
    if (m_impl->keep)
        return;
    if (m_impl->fd >= 0)
        ::close(m_impl->fd);
    if (m_impl->folderFd >= 0)
        ::close(m_impl->folderFd);
}

namespace {

// Locks the current directory, the game folder, itself. The lock in the runtime
// folder depends on the environment (two launchers started with different
// XDG_RUNTIME_DIR would both get one), but the game folder is what two
// launchers must not share. Locking the folder leaves no file in it. True when
// another process holds it.
bool FolderHeldElsewhere(int& fd) {
    fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false; // cannot tell; let this launcher run rather than block the player
    return ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

} // namespace

bool InstanceMutex::Create(const char* name) {
    // The lock lives in the user's runtime folder, so two players on one machine
    // do not block each other; the lock, not the file, is what counts.
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    path += '/';
    for (const char* p = name; *p; ++p)
        path += (*p == '/') ? '_' : *p;
    path += ".lock";

    const bool folderHeld = FolderHeldElsewhere(m_impl->folderFd);
    m_impl->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_impl->fd < 0)
        return folderHeld; // cannot tell; let this launcher run rather than block the player
    return ::flock(m_impl->fd, LOCK_EX | LOCK_NB) != 0 || folderHeld;
}

void InstanceMutex::KeepForProcessLifetime() {
    m_impl->keep = true;
}

} // namespace tarnvale::platform
