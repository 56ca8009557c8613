#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif

namespace tarnvale::platform {
namespace {

thread_local int t_lastError = 0;

int Fail() {
    t_lastError =
        (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS) ? kWouldBlock : errno;
    return kSocketError;
}

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

// Turns the readiness of registered sockets into notices, as WSAAsyncSelect does
// for a window. One thread serves the whole process. A read notice disarms reading
// until the owner calls SocketRecv, and a write notice disarms writing until a send
// would block, so a socket that stays readable or writable does not flood the
// queue; a socket with nothing armed is not polled at all.
class Watcher {
  public:
    void Register(int fd, NotifyWindow target, unsigned message, long events) {
        std::unique_lock<std::mutex> lock(m_mutex);
        StartLocked();
        Entry& entry = m_entries[fd];
        entry = Entry{
            target, message, events, (events & (kFdRead | kFdClose)) != 0, (events & kFdWrite) != 0,
            false};
        WakeLocked();
    }

    // Returns only when the watcher no longer polls the descriptor, so that the
    // caller may close it without the number being reused under the watcher.
    void Unregister(int fd) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_entries.erase(fd) == 0 || !m_started)
            return;
        const std::uint64_t generation = ++m_generation;
        WakeLocked();
        m_snapshotTaken.wait(lock, [&] { return m_seenGeneration >= generation; });
    }

    void ArmRead(int fd) { Arm(fd, true); }
    void ArmWrite(int fd) { Arm(fd, false); }

  private:
    struct Entry {
        NotifyWindow target = nullptr;
        unsigned message = 0;
        long events = 0;
        bool readArmed = false;
        bool writeArmed = false;
        bool closed = false; // the close notice has been posted; nothing follows it
    };

    void Arm(int fd, bool read) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_entries.find(fd);
        if (it == m_entries.end() || it->second.closed)
            return;
        bool& armed = read ? it->second.readArmed : it->second.writeArmed;
        if (!armed) {
            armed = true;
            WakeLocked();
        }
    }

    void StartLocked() {
        if (m_started)
            return;
        if (::pipe(m_wake) != 0)
            return;
        for (int fd : m_wake) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        m_started = true;
        // The watcher lives as long as the process, like the socket library.
        std::thread([this] { Loop(); }).detach();
    }

    void WakeLocked() {
        if (m_started) {
            const char byte = 0;
            [[maybe_unused]] ssize_t ignored = ::write(m_wake[1], &byte, 1);
        }
    }

    void Loop() {
        std::vector<pollfd> fds;
        for (;;) {
            fds.clear();
            fds.push_back({m_wake[0], POLLIN, 0});
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (const auto& [fd, entry] : m_entries) {
                    if (entry.closed)
                        continue;
                    const short events = static_cast<short>((entry.readArmed ? POLLIN : 0) |
                                                            (entry.writeArmed ? POLLOUT : 0));
                    if (events != 0)
                        fds.push_back({fd, events, 0});
                }
                m_seenGeneration = m_generation;
            }
            m_snapshotTaken.notify_all();

            if (::poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds[0].revents != 0) {
                char drain[64];
                while (::read(m_wake[0], drain, sizeof drain) > 0) {
                }
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            for (std::size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents != 0)
                    Deliver(fds[i].fd, fds[i].revents);
        }
    }

    void Deliver(int fd, short revents) {
        auto it = m_entries.find(fd);
        if (it == m_entries.end() || it->second.closed)
            return;
        Entry& entry = it->second;
        const auto wParam = static_cast<std::uintptr_t>(fd);
        const bool failed = (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;

        if (entry.readArmed && (revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            // A peek tells data from the end of the stream without consuming either.
            char byte;
            const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n > 0) {
                entry.readArmed = false;
                if (entry.events & kFdRead)
                    PostNotice(entry.target, entry.message, wParam, MakeNotice(kFdRead, 0));
            } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                const unsigned error = n == 0 ? 0u : static_cast<unsigned>(errno);
                entry.closed = true;
                if (entry.events & kFdClose)
                    PostNotice(entry.target, entry.message, wParam, MakeNotice(kFdClose, error));
                return;
            }
        }
        if (entry.writeArmed && ((revents & POLLOUT) != 0 || failed)) {
            entry.writeArmed = false;
            PostNotice(entry.target, entry.message, wParam, MakeNotice(kFdWrite, 0));
        }
        if (revents & POLLNVAL)
            entry.closed = true; // the descriptor was closed without unregistering
    }

    std::mutex m_mutex;
    std::condition_variable m_snapshotTaken;
    std::map<int, Entry> m_entries;
    std::uint64_t m_generation = 0;
    std::uint64_t m_seenGeneration = 0;
    int m_wake[2] = {-1, -1};
    bool m_started = false;
};

Watcher& TheWatcher() {
    static Watcher* watcher = new Watcher; // never destroyed: its thread runs to the end
    return *watcher;
}

} // namespace

int SocketStartup(std::uint16_t requestedVersion, SocketLibraryInfo& info) {
    info.version = requestedVersion;
    rlimit limit{};
    info.maxSockets = 0xFFFF;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 0xFFFF)
        info.maxSockets = static_cast<std::uint16_t>(limit.rlim_cur);
    return 0;
}

void SocketCleanup() {}

int SocketLastError() {
    return t_lastError;
}

SocketHandle SocketCreateStream() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail();
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(fd);
}

std::uint32_t SocketInetAddr(const char* text) {
    in_addr address{};
    if (text == nullptr || ::inet_pton(AF_INET, text, &address) != 1)
        return kInaddrNone;
    return address.s_addr;
}

bool SocketResolve(const char* host, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int status = ::getaddrinfo(host, nullptr, &hints, &result);
    if (status != 0 || result == nullptr) {
        t_lastError = status;
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return true;
}

int SocketConnect(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return 0;
    if (errno != EINTR)
        return Fail();
    // An interrupted connect goes on in the background; wait for its outcome.
    pollfd fd{Fd(socket), POLLOUT, 0};
    while (::poll(&fd, 1, -1) < 0 && errno == EINTR) {
    }
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error == 0)
        return 0;
    errno = error;
    return Fail();
}

int SocketSetNonBlocking(SocketHandle socket, bool nonBlocking) {
    const int flags = ::fcntl(Fd(socket), F_GETFL);
    if (flags < 0 ||
        ::fcntl(Fd(socket), F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) < 0)
        return Fail();
    return 0;
}

int SocketAsyncSelect(SocketHandle socket, NotifyWindow target, unsigned message, long events) {
    if (socket == kInvalidSocket || target == nullptr) {
        t_lastError = EINVAL;
        return kSocketError;
    }
    if (SocketSetNonBlocking(socket, true) != 0)
        return kSocketError;
    TheWatcher().Register(Fd(socket), target, message, events);
    return 0;
}

int SocketSend(SocketHandle socket, const void* data, int length) {
    const ssize_t n = ::send(Fd(socket), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n >= 0)
        return static_cast<int>(n);
    const int result = Fail();
    if (t_lastError == kWouldBlock)
        TheWatcher().ArmWrite(Fd(socket));
    return result;
}

int SocketRecv(SocketHandle socket, void* buffer, int length) {
    const ssize_t n = ::recv(Fd(socket), buffer, static_cast<std::size_t>(length), 0);
    const int result = n >= 0 ? static_cast<int>(n) : Fail();
    // As with Winsock, a receive call re-enables the read notice.
    TheWatcher().ArmRead(Fd(socket));
    return result;
}

int SocketClose(SocketHandle socket) {
    if (socket == kInvalidSocket)
        return kSocketError;
    TheWatcher().Unregister(Fd(socket));
    return ::close(Fd(socket)) == 0 ? 0 : Fail();
}

SocketHandle SocketListen(const char* bindAddress, std::uint16_t port, std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return kInvalidSocket;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bindAddress != nullptr && *bindAddress != '\0' &&
        ::inet_pton(AF_INET, bindAddress, &local.sin_addr) != 1) {
        ::close(fd);
        error = std::string("not a dotted IPv4 address: ") + bindAddress;
        return kInvalidSocket;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        error = "cannot listen on " + ListenTarget(bindAddress, port) + ": " + std::strerror(errno);
        ::close(fd);
        return kInvalidSocket;
    }
    const auto socket = static_cast<SocketHandle>(fd);
    SocketSetNonBlocking(socket, true);
    return socket;
}

std::uint16_t SocketLocalPort(SocketHandle socket) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

SocketHandle SocketAccept(SocketHandle listener, std::string& peer) {
    sockaddr_in remote{};
    socklen_t size = sizeof remote;
    const int fd = ::accept(Fd(listener), reinterpret_cast<sockaddr*>(&remote), &size);
    if (fd < 0) {
        Fail();
        return kInvalidSocket;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const auto socket = static_cast<SocketHandle>(fd);
    SocketSetNonBlocking(socket, true);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &remote.sin_addr, text, sizeof text);
    peer = std::string(text) + ":" + std::to_string(ntohs(remote.sin_port));
    return socket;
}

int SocketPoll(std::vector<PollEntry>& entries, int timeoutMs) {
    std::vector<pollfd> fds(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        fds[i] = {Fd(entries[i].socket),
                  static_cast<short>((entries[i].wantRead ? POLLIN : 0) |
                                     (entries[i].wantWrite ? POLLOUT : 0)),
                  0};
    const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0)
        return errno == EINTR ? 0 : Fail();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short revents = fds[i].revents;
        entries[i].readable = (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        entries[i].writable = (revents & (POLLOUT | POLLERR)) != 0;
    }
    return ready;
}

} // namespace tarnvale::platform
