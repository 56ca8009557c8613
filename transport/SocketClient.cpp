#include "transport/SocketClient.h"

#include "msg/MessageIds.h"
#include "msg/VeyMsg.h"
#include "transport/PacketFraming.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tarnvale {
namespace {

constexpr std::uint16_t kSocketVersion = 0x0202;
constexpr long kNoticeEvents = platform::kFdRead | platform::kFdWrite | platform::kFdClose;

} // namespace

std::string FormatErrorCodeText(const char* text, int code) {
    std::string out;
    bool used = false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            ++p;
            continue;
        }
        const char* end = p + 1;
        while (*end != '\0' && std::strchr("-+ #0", *end) != nullptr)
            ++end;
        while (*end >= '0' && *end <= '9')
            ++end;
        if (*end == 'l')
            ++end;
        // Flags, width and length together longer than this are no sane text.
        const bool sane = end - p <= 6;
        if (!used && *end != '\0' && std::strchr("diuxX", *end) != nullptr) {
            // The conversion rebuilt from its flags and width, with any length
            // modifier dropped; a conversion that is not sane loses them all.
            char conversionSpec[16] = "%";
            std::size_t n = 1;
            for (const char* q = p + 1; sane && q < end && *q != 'l'; ++q)
                conversionSpec[n++] = *q;
            conversionSpec[n] = *end == 'i' ? 'd' : *end;
            char conversion[64];
            if (*end == 'd' || *end == 'i')
                std::snprintf(conversion, sizeof conversion, conversionSpec, code);
            else
                std::snprintf(conversion, sizeof conversion, conversionSpec,
                              static_cast<unsigned>(code));
            out += conversion;
            used = true;
            p = end;
        } else {
            out += '%';
        }
    }
    return out;
}

SocketClient::SocketClient(const VeyMsg& messages) : m_messages(messages) {
    for (PacketSlot& slot : m_PacketQueue)
        slot.inUse = 0;
}

SocketClient::~SocketClient() {
    Close();
}

StepResult SocketClient::ErrorBox(int id, std::string text, std::string detail) const {
    // A plain box captioned "Error", its text from the message table.
    return StepResult::FailureWithBox(id, std::move(detail),
                                      MessageBoxRequest{std::move(text), "Error"});
}

StepResult SocketClient::Startup() {
    platform::SocketLibraryInfo info;
    if (platform::SocketStartup(kSocketVersion, info) != 0)
        return ErrorBox(msgid::kSocketStartupFailed,
                        m_messages.GetText(msgid::kSocketStartupFailed),
                        "the socket library cannot start: error " +
                            std::to_string(platform::SocketLastError()));
    if (info.version != kSocketVersion) {
        platform::SocketCleanup();
        return ErrorBox(msgid::kSocketVersionMissing,
                        m_messages.GetText(msgid::kSocketVersionMissing),
                        "the socket library offers no version 2.2");
    }
    // "No socket" is kInvalidSocket throughout: on POSIX the value 0 is standard
    // input, which must never be sent to or closed.
    m_hSocket = platform::kInvalidSocket;
    m_nSocketLimit = info.maxSockets;
    return {};
}

StepResult SocketClient::CreateSocket(platform::NotifyWindow window) {
    // A socket left open by an earlier attempt is closed rather than leaked.
    Close();
    const platform::SocketHandle socket = platform::SocketCreateStream();
    if (socket == platform::kInvalidSocket) {
        const int error = platform::SocketLastError();
        return ErrorBox(msgid::kSocketCreateFailed,
                        FormatErrorCodeText(m_messages.GetText(msgid::kSocketCreateFailed), error)
                            .substr(0, 127),
                        "no socket: error " + std::to_string(error));
    }
    m_hSocket = socket;
    m_hWnd = window;
    return {};
}

StepResult SocketClient::Connect(const char* host, std::uint16_t port, unsigned message) {
    if (m_hWnd == nullptr)
        return ErrorBox(msgid::kSocketNoWindow, m_messages.GetText(msgid::kSocketNoWindow),
                        "no window for the socket's notices");
    if (m_hSocket == platform::kInvalidSocket) {
        if (StepResult created = CreateSocket(m_hWnd); !created)
            return created;
    }
    const std::string where = std::string(host) + ":" + std::to_string(port);
    auto refused = [&](const char* what) {
        const int error = platform::SocketLastError();
        Close();
        return StepResult::Failure(msgid::kConnectFailed, std::string(what) + " " + where +
                                                              ": error " + std::to_string(error));
    };

    std::uint32_t address = platform::SocketInetAddr(host);
    if (address == platform::kInaddrNone && !platform::SocketResolve(host, address)) {
        Trace("gethostbyname return NULL error %d", platform::SocketLastError());
        return refused("cannot resolve");
    }
    // The socket is still blocking here, so this waits until the connection is
    // made or refused. Every failure goes through Close, which forgets the handle,
    // so that a later call can never act on a closed (and perhaps reused) socket.
    if (platform::SocketConnect(m_hSocket, address, port) != 0 &&
        platform::SocketLastError() != platform::kWouldBlock) {
        Trace("connect error %d", platform::SocketLastError());
        return refused("cannot connect to");
    }
    if (platform::SocketAsyncSelect(m_hSocket, m_hWnd, message, kNoticeEvents) != 0) {
        Trace("WSAAsyncSelect error 0x%0X", static_cast<unsigned>(platform::SocketLastError()));
        return refused("no notices for the connection to");
    }
    return {};
}

bool SocketClient::Send(const void* data, int length) {
    if (m_hSocket == platform::kInvalidSocket)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (length <= 0)
        return true;

    // Bytes already parked must leave first; sending the new packet past them
    // would reorder the stream. It joins the queue behind them instead.
    if (m_nSendBuffLen > 0) {
        if (m_nSendBuffLen + length > kBufferSize) {
            Trace("SendBuff over %d", m_nSendBuffLen + length);
            Close();
            return false;
        }
        std::memcpy(m_SendBuff + m_nSendBuffLen, bytes, static_cast<std::size_t>(length));
        m_nSendBuffLen += length;
        return false;
    }

    int sent = 0;
    while (sent < length) {
        const int n = platform::SocketSend(m_hSocket, bytes + sent, length - sent);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n == 0)
            return true;
        const int error = platform::SocketLastError();
        if (error != platform::kWouldBlock) {
            Trace("send() \xbf\xa1\xb7\xaf %d\xb7\xce \xc1\xbe\xb7\xe1\xbd\xc3\xc5\xb4 len(%d)",
                  error, length); // "send() 에러 %d로 종료시킴 len(%d)" in code page 949
            Close();
            return false;
        }
        if (m_nSendBuffLen + length > kBufferSize) {
            Trace("SendBuff over %d", m_nSendBuffLen + length);
            Close();
            return false;
        }
        const int rest = length - sent;
        std::memcpy(m_SendBuff + m_nSendBuffLen, bytes + sent, static_cast<std::size_t>(rest));
        m_nSendBuffLen += rest;
        return false;
    }
    return true;
}

bool SocketClient::FlushPending() {
    while (m_nSendBuffLen > 0) {
        const int n = platform::SocketSend(m_hSocket, m_SendBuff, m_nSendBuffLen);
        if (n > 0) {
            m_nSendBuffLen -= n;
            std::memmove(m_SendBuff, m_SendBuff + n, static_cast<std::size_t>(m_nSendBuffLen));
            continue;
        }
        if (n < 0 && platform::SocketLastError() == platform::kWouldBlock)
            return true;
        if (n < 0)
            Trace("FD_WRITE send() \xbf\xa1\xb7\xaf %d",
                  platform::SocketLastError()); // "FD_WRITE send() 에러 %d" in code page 949
        else
            Trace("send error nResult %d", n);
        Close();
        return false;
    }
    return true;
}

int SocketClient::Receive() {
    const int n =
        platform::SocketRecv(m_hSocket, m_RecvBuf + m_nRecvBufLen, kBufferSize - m_nRecvBufLen);
    if (n <= 0) {
        if (n < 0 && platform::SocketLastError() == platform::kWouldBlock)
            Trace("recv error nResult %d", n);
        else if (n < 0)
            Trace("recv() \xb9\xde\xb1\xe2 \xbf\xa1\xb7\xaf %d",
                  platform::SocketLastError()); // "recv() 받기 에러 %d" in code page 949
        return kReceiveNothing;
    }
    TraceBytes(m_RecvBuf + m_nRecvBufLen, n);
    m_nRecvBufLen += n;
    if (m_nRecvBufLen < 3)
        return kReceiveTooShort;
    return FrameHeld();
}

int SocketClient::ReceiveBytes(const std::uint8_t* data, int count) {
    const int room = kBufferSize - m_nRecvBufLen;
    const int n = count < room ? count : room;
    if (n <= 0)
        return kReceiveNothing;
    std::memcpy(m_RecvBuf + m_nRecvBufLen, data, static_cast<std::size_t>(n));
    m_nRecvBufLen += n;
    if (m_nRecvBufLen < 3)
        return kReceiveTooShort;
    return FrameHeld();
}

int SocketClient::FrameHeld() {
    int p = 0;
    for (;;) {
        if (m_nRecvBufLen < 3) {
            if (m_nRecvBufLen < 1)
                Trace(
                    "m_nRecvBufLen \xc0\xcc 1\xba\xb8\xb4\xd9 \xc0\xdb\xb4\xd9.."); // "m_nRecvBufLen
                                                                                    // 이 1보다
                                                                                    // 작다.." (949)
            else if (p > 0)
                std::memmove(m_RecvBuf, m_RecvBuf + p, static_cast<std::size_t>(m_nRecvBufLen));
            break;
        }
        const std::uint8_t* packet = m_RecvBuf + p;
        const int size = proto::DeclaredSize(packet);
        if (size < 0) {
            // Not a packet boundary: nothing held can be trusted any more.
            m_nRecvBufLen = 0;
            break;
        }
        if (size < proto::HeaderLength(packet) || size > kBufferSize) {
            // Such a packet can never be framed: a size below its own header would be
            // read past its end, and one beyond the buffer would fill it for good and
            // stop all reading. Drop what is held and the connection with it.
            Trace("size \xb0\xa1 %d\xc0\xcc\xb4\xd9.", size); // "size 가 %d이다." (949)
            m_nRecvBufLen = 0;
            Close();
            return kReceiveDropped;
        }
        if (size > m_nRecvBufLen) {
            if (p > 0)
                std::memmove(m_RecvBuf, m_RecvBuf + p, static_cast<std::size_t>(m_nRecvBufLen));
            break;
        }
        QueuePacket(packet, size);
        p += size;
        m_nRecvBufLen -= size;
        if (m_nRecvBufLen == 0)
            break;
    }
    return kReceiveFramed;
}

int SocketClient::QueuePacket(const std::uint8_t* data, int length) {
    if (length > kBufferSize)
        return kPacketTooLong;
    for (PacketSlot& slot : m_PacketQueue) {
        if (slot.inUse == 0) {
            slot.inUse = 1;
            slot.length = length;
            std::memcpy(slot.data, data, static_cast<std::size_t>(length));
            return kQueued;
        }
    }
    return kQueueFull;
}

const std::uint8_t* SocketClient::PopPacket(int* length) {
    for (PacketSlot& slot : m_PacketQueue) {
        if (slot.inUse != 0) {
            slot.inUse = 0;
            if (length != nullptr)
                *length = slot.length;
            return slot.data;
        }
    }
    return nullptr;
}

bool SocketClient::Close() {
    if (m_hSocket != platform::kInvalidSocket)
        platform::SocketClose(m_hSocket);
    m_hSocket = platform::kInvalidSocket;
    return true;
}

} // namespace tarnvale
