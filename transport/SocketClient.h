#pragma once

#include "msg/StepResult.h"
#include "platform/MessageQueue.h"
#include "platform/Sockets.h"

#include <cstdint>
#include <string>

namespace tarnvale {

class VeyMsg;

// The window message that carries socket notices: wParam is the socket, lParam the
// event in its low 16 bits and the error code in its high 16 bits.
inline constexpr unsigned kWmSocketNotify = 2024; // WM_USER + 1000

// Text 143 is data of the message file and carries one "%d" for the error code.
// It is not trusted as a printf format: only its first integer conversion takes
// the code, "%%" becomes "%", and anything else that looks like a conversion is
// copied as it stands, so a damaged message file cannot make the formatting read
// arguments that were never passed.
std::string FormatErrorCodeText(const char* text, int code);

// The launcher's one TCP client. It connects to the connect server, sends small
// packets (parking what the system cannot take at once until the next write
// notice) and cuts the received byte stream into packets, which wait in a ten-slot
// queue until the protocol dispatcher takes them. Fixed buffers only: nothing is
// allocated on the send or receive paths.
//
// After Connect, every operation runs on the thread that dispatches the notify
// window's messages; CreateSocket and Connect run on the connect worker before any
// notice is registered.
class SocketClient {
  public:
    static constexpr int kBufferSize = 4096;
    static constexpr int kQueueSlots = 10;

    // Results of Receive.
    static constexpr int kReceiveFramed = 0;
    static constexpr int kReceiveNothing = 1;  // end of stream or error: nothing changed
    static constexpr int kReceiveTooShort = 3; // fewer than three bytes held
    static constexpr int kReceiveDropped = 4;  // impossible header: bytes dropped, closed

    // Results of putting a packet into the queue.
    static constexpr int kQueued = 0;
    static constexpr int kQueueFull = 1;
    static constexpr int kPacketTooLong = 2;

    struct PacketSlot {
        std::int32_t inUse = 0; // 1 when the slot holds a packet
        std::int32_t length = 0;
        std::uint8_t data[kBufferSize] = {};
    };

    // Texts 141 to 144 come from `messages`, which must outlive the client.
    explicit SocketClient(const VeyMsg& messages);
    ~SocketClient();
    SocketClient(const SocketClient&) = delete;
    SocketClient& operator=(const SocketClient&) = delete;

    // Starts the socket library, version 2.2. When it cannot, the failure carries
    // the "Error" box with text 141 or 142.
    StepResult Startup();
    // Creates a stream socket whose notices will go to `window`. When it cannot,
    // the failure carries the "Error" box with text 143 and the error code.
    StepResult CreateSocket(platform::NotifyWindow window);
    // Connects (blocking) to a dotted address or host name and registers for
    // notices `message`: read, write and close. A failure closes the socket and
    // carries no box (the caller shows its status texts), except without a notify
    // window: then the "Error" box with text 144.
    StepResult Connect(const char* host, std::uint16_t port, unsigned message);
    // True when every byte went out; false when bytes were parked for the next
    // write notice, or the connection was dropped.
    bool Send(const void* data, int length);
    // On a write notice: sends parked bytes. False when the connection was dropped.
    bool FlushPending();
    // On a read notice: reads once, then frames what is held into packets.
    int Receive();
    // The framing half of Receive, for bytes that a read delivered: as many as fit
    // into the receive buffer are taken. Tests and the fuzzer feed reads through it.
    int ReceiveBytes(const std::uint8_t* data, int count);
    // Takes the lowest-numbered queued packet; null when none waits. The bytes stay
    // valid until the next Receive. `length` receives its length when given.
    const std::uint8_t* PopPacket(int* length = nullptr);
    // Closes the socket; buffers and queue keep their contents.
    bool Close();

    platform::SocketHandle Socket() const { return m_hSocket; }
    platform::NotifyWindow NotifyWindow() const { return m_hWnd; }
    int PendingSendLength() const { return m_nSendBuffLen; }
    int HeldReceiveLength() const { return m_nRecvBufLen; }

  private:
    int FrameHeld();
    int QueuePacket(const std::uint8_t* data, int length);
    StepResult ErrorBox(int id, std::string text, std::string detail) const;

    // The client's trace (to "wsctlc.log") is switched off for good: these calls
    // return at once and no file is ever created. They mark the events it covers.
    [[gnu::format(printf, 2, 3)]] void Trace(const char* /*format*/, ...) const {}
    void TraceBytes(const std::uint8_t* /*data*/, int /*length*/) const {}

    const VeyMsg& m_messages;
    platform::NotifyWindow m_hWnd = nullptr;
    std::int32_t m_nSocketLimit = 0; // kept from start-up, not used
    platform::SocketHandle m_hSocket = platform::kInvalidSocket;
    std::uint8_t m_SendBuff[kBufferSize] = {};
    std::int32_t m_nSendBuffLen = 0;
    std::uint8_t m_RecvBuf[kBufferSize] = {};
    std::int32_t m_nRecvBufLen = 0;
    PacketSlot m_PacketQueue[kQueueSlots];
};

} // namespace tarnvale
