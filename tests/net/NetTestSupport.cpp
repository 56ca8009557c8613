#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarnvale::test {
namespace {
using Clock = std::chrono::steady_clock;
}

bool PumpUntil(platform::MessageQueue& queue, const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        queue.WaitAndDispatchOne(10);
    }
    return true;
}

void PumpFor(platform::MessageQueue& queue, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline)
        queue.WaitAndDispatchOne(5);
}

InProcessConnectServer::InProcessConnectServer(connectserver::Config config)
    : m_server(std::move(config), [this](const std::string& line) {
          std::lock_guard<std::mutex> lock(m_logMutex);
          m_log.push_back(line);
      }) {
    std::string error;
    if (!m_server.Listen(error))
        ADD_FAILURE() << "connect server: " << error;
    else
        m_thread = std::thread([this] { m_server.Run(); });
}

InProcessConnectServer::~InProcessConnectServer() {
    m_server.Stop();
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<std::string> InProcessConnectServer::LogLines() {
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_log;
}

ScriptedPeer::ScriptedPeer() {
    platform::SocketLibraryInfo info;
    platform::SocketStartup(0x0202, info);
    std::string error;
    m_listener = platform::SocketListen("127.0.0.1", 0, error);
    if (m_listener == platform::kInvalidSocket)
        ADD_FAILURE() << "scripted peer: " << error;
    else
        m_port = platform::SocketLocalPort(m_listener);
}

ScriptedPeer::~ScriptedPeer() {
    if (m_socket != platform::kInvalidSocket)
        platform::SocketClose(m_socket);
    if (m_listener != platform::kInvalidSocket)
        platform::SocketClose(m_listener);
    platform::SocketCleanup();
}

bool ScriptedPeer::Accept(int timeoutMs) {
    std::vector<platform::PollEntry> entries(1);
    entries[0].socket = m_listener;
    entries[0].wantRead = true;
    if (platform::SocketPoll(entries, timeoutMs) <= 0)
        return false;
    std::string peer;
    m_socket = platform::SocketAccept(m_listener, peer);
    return m_socket != platform::kInvalidSocket;
}

bool ScriptedPeer::Send(const Bytes& bytes) {
    std::size_t sent = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (sent < bytes.size() && Clock::now() < deadline) {
        const int n = platform::SocketSend(m_socket, bytes.data() + sent,
                                           static_cast<int>(bytes.size() - sent));
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && platform::SocketLastError() != platform::kWouldBlock)
            return false;
    }
    return sent == bytes.size();
}

bool ScriptedPeer::Poll() {
    if (!m_reading || closed)
        return !closed;
    std::uint8_t buffer[65536];
    for (;;) {
        const int n = platform::SocketRecv(m_socket, buffer, sizeof buffer);
        if (n > 0) {
            received.insert(received.end(), buffer, buffer + n);
            continue;
        }
        if (n == 0 || platform::SocketLastError() != platform::kWouldBlock)
            closed = true;
        return !closed;
    }
}

bool ScriptedPeer::WaitFor(std::size_t n, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received.size() < n && Poll() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return received.size() >= n;
}

bool ScriptedPeer::WaitForClose(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Poll() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return closed;
}

Bytes Packet(std::uint8_t header, std::uint8_t type, int length) {
    Bytes packet(static_cast<std::size_t>(length), 0);
    packet[0] = header;
    if (header == 0xC2) {
        packet[1] = static_cast<std::uint8_t>(length >> 8);
        packet[2] = static_cast<std::uint8_t>(length & 0xFF);
        packet[3] = type;
    } else {
        packet[1] = static_cast<std::uint8_t>(length);
        packet[2] = type;
    }
    return packet;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace tarnvale::test
