#include "platform/Sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <cstring>

namespace tarnvale::platform {
namespace {

SOCKET S(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

std::string ErrorText(const char* what) {
    return std::string(what) + " (error " + std::to_string(::WSAGetLastError()) + ")";
}

} // namespace

int SocketStartup(std::uint16_t requestedVersion, SocketLibraryInfo& info) {
    WSADATA data{};
    const int status = ::WSAStartup(requestedVersion, &data);
    if (status != 0)
        return status;
    info.version = data.wVersion;
    info.maxSockets = data.iMaxSockets;
    return 0;
}

void SocketCleanup() {
    ::WSACleanup();
}

int SocketLastError() {
    return ::WSAGetLastError();
}

SocketHandle SocketCreateStream() {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

std::uint32_t SocketInetAddr(const char* text) {
    return text == nullptr ? kInaddrNone : static_cast<std::uint32_t>(::inet_addr(text));
}

bool SocketResolve(const char* host, std::uint32_t& address) {
    const hostent* entry = ::gethostbyname(host);
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
        return false;
    std::uint32_t value = 0;
    const auto length = static_cast<std::size_t>(entry->h_length);
    std::memcpy(&value, entry->h_addr_list[0], length < sizeof value ? length : sizeof value);
    address = value;
    return true;
}

int SocketConnect(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = ::htons(port);
    target.sin_addr.s_addr = address;
    return ::connect(S(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0
               ? 0
               : kSocketError;
}

int SocketAsyncSelect(SocketHandle socket, NotifyWindow target, unsigned message, long events) {
    return ::WSAAsyncSelect(S(socket), static_cast<HWND>(target), message, events) == 0
               ? 0
               : kSocketError;
}

int SocketSend(SocketHandle socket, const void* data, int length) {
    const int n = ::send(S(socket), static_cast<const char*>(data), length, 0);
    return n == SOCKET_ERROR ? kSocketError : n;
}

int SocketRecv(SocketHandle socket, void* buffer, int length) {
    const int n = ::recv(S(socket), static_cast<char*>(buffer), length, 0);
    return n == SOCKET_ERROR ? kSocketError : n;
}

int SocketClose(SocketHandle socket) {
    return ::closesocket(S(socket)) == 0 ? 0 : kSocketError;
}

int SocketSetNonBlocking(SocketHandle socket, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return ::ioctlsocket(S(socket), FIONBIO, &mode) == 0 ? 0 : kSocketError;
}

SocketHandle SocketListen(const char* bindAddress, std::uint16_t port, std::string& error) {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        error = ErrorText("cannot create a socket");
        return kInvalidSocket;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = ::htons(port);
    local.sin_addr.s_addr = ::htonl(INADDR_ANY);
    if (bindAddress != nullptr && *bindAddress != '\0') {
        local.sin_addr.s_addr = ::inet_addr(bindAddress);
        if (local.sin_addr.s_addr == INADDR_NONE) {
            ::closesocket(socket);
            error = std::string("not a dotted IPv4 address: ") + bindAddress;
            return kInvalidSocket;
        }
    }
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(socket, SOMAXCONN) != 0) {
        error = ErrorText(("cannot listen on " + ListenTarget(bindAddress, port)).c_str());
        ::closesocket(socket);
        return kInvalidSocket;
    }
    const auto handle = static_cast<SocketHandle>(socket);
    SocketSetNonBlocking(handle, true);
    return handle;
}

std::uint16_t SocketLocalPort(SocketHandle socket) {
    sockaddr_in local{};
    int size = sizeof local;
    if (::getsockname(S(socket), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ::ntohs(local.sin_port);
}

SocketHandle SocketAccept(SocketHandle listener, std::string& peer) {
    sockaddr_in remote{};
    int size = sizeof remote;
    const SOCKET socket = ::accept(S(listener), reinterpret_cast<sockaddr*>(&remote), &size);
    if (socket == INVALID_SOCKET)
        return kInvalidSocket;
    const auto handle = static_cast<SocketHandle>(socket);
    SocketSetNonBlocking(handle, true);
    peer =
        std::string(::inet_ntoa(remote.sin_addr)) + ":" + std::to_string(::ntohs(remote.sin_port));
    return handle;
}

int SocketPoll(std::vector<PollEntry>& entries, int timeoutMs) {
    if (entries.empty()) {
        ::Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        return 0;
    }
    std::vector<WSAPOLLFD> fds(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = S(entries[i].socket);
        fds[i].events = static_cast<SHORT>((entries[i].wantRead ? POLLRDNORM : 0) |
                                           (entries[i].wantWrite ? POLLWRNORM : 0));
        fds[i].revents = 0;
    }
    const int ready = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
    if (ready == SOCKET_ERROR)
        return kSocketError;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SHORT revents = fds[i].revents;
        entries[i].readable = (revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
        entries[i].writable = (revents & (POLLWRNORM | POLLERR)) != 0;
    }
    return ready;
}

} // namespace tarnvale::platform
