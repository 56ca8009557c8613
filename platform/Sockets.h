#pragma once

#include "platform/MessageQueue.h"

#include <cstdint>
#include <string>
#include <vector>

// IPv4 stream sockets. On Windows these are Winsock 2 calls and notices come from
// WSAAsyncSelect; on POSIX they are BSD sockets, and one watcher thread per process
// turns the readiness of registered sockets into the same notices, posted to the
// registered MessageQueue with the same re-enabling rules as Winsock:
//   - kFdRead is posted once; the next one only after SocketRecv has been called.
//   - kFdWrite is posted once when the socket is registered and can write, and again
//     only after a SocketSend failed with kWouldBlock and room became free.
//   - kFdClose is posted once, when the peer has closed or the connection failed.
// Error codes are Winsock's on Windows and errno values on POSIX, except that "would
// block" is always kWouldBlock.
namespace tarnvale::platform {

using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};
inline constexpr int kSocketError = -1;
inline constexpr int kWouldBlock = 10035;
inline constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

// Notice events, as the low 16 bits of a notice's lParam; the error code is in the
// high 16 bits.
inline constexpr long kFdRead = 0x01;
inline constexpr long kFdWrite = 0x02;
inline constexpr long kFdClose = 0x20;

inline constexpr unsigned NoticeEvent(std::intptr_t lParam) {
    return static_cast<unsigned>(lParam & 0xFFFF);
}
inline constexpr unsigned NoticeError(std::intptr_t lParam) {
    return static_cast<unsigned>((lParam >> 16) & 0xFFFF);
}
inline constexpr std::intptr_t MakeNotice(unsigned event, unsigned error) {
    return static_cast<std::intptr_t>(((error & 0xFFFFu) << 16) | (event & 0xFFFFu));
}

struct SocketLibraryInfo {
    std::uint16_t version = 0;    // granted version, low byte major, high byte minor
    std::uint16_t maxSockets = 0; // the library's maximum number of sockets
};

// Starts the socket library for the requested version (0x0202 for 2.2). Returns 0 or
// the library's error code.
int SocketStartup(std::uint16_t requestedVersion, SocketLibraryInfo& info);
void SocketCleanup();

// The calling thread's last socket error.
int SocketLastError();

// A blocking IPv4 stream socket, or kInvalidSocket.
SocketHandle SocketCreateStream();
// Dotted text to an address in network byte order; kInaddrNone when not dotted.
std::uint32_t SocketInetAddr(const char* text);
// Resolves a host name to its first IPv4 address, in network byte order.
bool SocketResolve(const char* host, std::uint32_t& address);
// Connects; waits while the socket is blocking. Returns 0 or kSocketError.
int SocketConnect(SocketHandle socket, std::uint32_t address, std::uint16_t port);
// Makes the socket non-blocking and registers it for notices `message` with the
// events in `events` to `target`. Returns 0 or kSocketError.
int SocketAsyncSelect(SocketHandle socket, NotifyWindow target, unsigned message, long events);
// Returns the bytes sent, or kSocketError.
int SocketSend(SocketHandle socket, const void* data, int length);
// Returns the bytes received, 0 at end of stream, or kSocketError.
int SocketRecv(SocketHandle socket, void* buffer, int length);
// Ends notices for the socket and closes it.
int SocketClose(SocketHandle socket);

// Server side, for the connect server and for tests.

// Listens on `port` (0: a free port) of `bindAddress` (dotted text; empty means
// every interface). The socket is non-blocking. kInvalidSocket on failure, with a
// description in `error` that names the address and port.
SocketHandle SocketListen(const char* bindAddress, std::uint16_t port, std::string& error);
// "127.0.0.1 port 44405", or "port 44405 of every address" without a bind address.
std::string ListenTarget(const char* bindAddress, std::uint16_t port);
// The local port of a bound socket, 0 when unknown.
std::uint16_t SocketLocalPort(SocketHandle socket);
// Accepts one waiting connection and makes it non-blocking; kInvalidSocket when none
// waits. `peer` receives "address:port".
SocketHandle SocketAccept(SocketHandle listener, std::string& peer);
int SocketSetNonBlocking(SocketHandle socket, bool nonBlocking);

struct PollEntry {
    SocketHandle socket = kInvalidSocket;
    bool wantRead = false;
    bool wantWrite = false;
    bool readable = false; // also set on end of stream and errors, so a read sees them
    bool writable = false;
};
// Waits up to timeoutMs (negative: no limit) until one of the sockets is ready.
// Returns the number of ready sockets, 0 on time-out, kSocketError on failure.
int SocketPoll(std::vector<PollEntry>& entries, int timeoutMs);

} // namespace tarnvale::platform
