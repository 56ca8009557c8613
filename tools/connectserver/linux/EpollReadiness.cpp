// Readiness through epoll: level-triggered, one registration per socket, so a
// socket that still has bytes after a short read is reported again.
#include "tools/connectserver/Readiness.h"

#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace tarnvale::connectserver {
namespace {

class EpollReadiness : public Readiness {
  public:
    EpollReadiness() : m_fd(::epoll_create1(EPOLL_CLOEXEC)) {}
    ~EpollReadiness() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool Add(platform::SocketHandle socket) override {
        return Control(EPOLL_CTL_ADD, socket, EPOLLIN);
    }
    void WantWrite(platform::SocketHandle socket, bool want) override {
        Control(EPOLL_CTL_MOD, socket, EPOLLIN | (want ? EPOLLOUT : 0u));
    }
    void Remove(platform::SocketHandle socket) override { Control(EPOLL_CTL_DEL, socket, 0); }

    void Wait(std::vector<Event>& events, int timeoutMs) override {
        events.clear();
        epoll_event ready[512];
        const int n = ::epoll_wait(m_fd, ready, 512, timeoutMs);
        for (int i = 0; i < n; ++i) {
            Event event;
            event.socket = static_cast<platform::SocketHandle>(ready[i].data.fd);
            event.readable = (ready[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0;
            event.writable = (ready[i].events & EPOLLOUT) != 0;
            events.push_back(event);
        }
    }
    const char* Name() const override { return "epoll"; }

  private:
    bool Control(int operation, platform::SocketHandle socket, unsigned events) {
        epoll_event event{};
        event.events = events;
        event.data.fd = static_cast<int>(socket);
        return m_fd >= 0 && ::epoll_ctl(m_fd, operation, event.data.fd, &event) == 0;
    }

    int m_fd;
};

} // namespace

std::unique_ptr<Readiness> MakeReadiness() {
    return std::make_unique<EpollReadiness>();
}

} // namespace tarnvale::connectserver
