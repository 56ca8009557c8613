#pragma once

#include "platform/Sockets.h"

#include <memory>
#include <vector>

// Which of many sockets can be read or written. The server holds tens of thousands
// of connections, so on Linux this is the kernel's epoll, whose cost follows the
// sockets that are ready rather than all that are open; elsewhere it is a plain
// poll over every socket, enough for the few connections of a test run.
namespace tarnvale::connectserver {

class Readiness {
  public:
    struct Event {
        platform::SocketHandle socket = platform::kInvalidSocket;
        bool readable = false; // also end of stream and errors, so a read sees them
        bool writable = false;
    };

    virtual ~Readiness() = default;
    // Watches `socket` for reading.
    virtual bool Add(platform::SocketHandle socket) = 0;
    // Also watches it for writing, or stops doing so.
    virtual void WantWrite(platform::SocketHandle socket, bool want) = 0;
    // Stops watching; call before closing the socket.
    virtual void Remove(platform::SocketHandle socket) = 0;
    // Waits up to timeoutMs for ready sockets and lists them in `events`.
    virtual void Wait(std::vector<Event>& events, int timeoutMs) = 0;
    // What the log calls it.
    virtual const char* Name() const = 0;
};

std::unique_ptr<Readiness> MakeReadiness();

} // namespace tarnvale::connectserver
