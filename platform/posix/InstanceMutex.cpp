#include "platform/InstanceMutex.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace tarnvale::platform {

struct InstanceMutex::Impl {
    int fd = -1;
    bool keep = false;
};

InstanceMutex::InstanceMutex() : m_impl(std::make_unique<Impl>()) {}

InstanceMutex::~InstanceMutex() {
    if (m_impl->fd >= 0 && !m_impl->keep)
        ::close(m_impl->fd);
}

bool InstanceMutex::Create(const char* name) {
    // The lock lives in the user's runtime folder, so two players on one machine
    // do not block each other; the lock, not the file, is what counts.
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    path += '/';
    for (const char* p = name; *p; ++p)
        path += (*p == '/') ? '_' : *p;
    path += ".lock";

    m_impl->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_impl->fd < 0)
        return false; // cannot tell; let this launcher run rather than block the player
    return ::flock(m_impl->fd, LOCK_EX | LOCK_NB) != 0;
}

void InstanceMutex::KeepForProcessLifetime() {
    m_impl->keep = true;
}

} // namespace tarnvale::platform
