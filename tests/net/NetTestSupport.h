#pragma once

#include "net/UpdateRoads.h"
#include "platform/MessageQueue.h"
#include "platform/Sockets.h"
#include "tools/connectserver/Server.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnvale::test {

using Bytes = std::vector<std::uint8_t>;

// Records what the protocol asks of the update roads, with the launch mode that
// was in force at the moment of the call.
class RecordingRoads : public UpdateRoads {
  public:
    struct Call {
        std::string road; // "ftp", "store", "http"
        std::string address;
        std::uint16_t port = 0;
        std::string account, password, versionFile;
        std::uint32_t launchMode = 0;
    };

    explicit RecordingRoads(const std::uint32_t* launchMode = nullptr) : m_launchMode(launchMode) {}

    bool StartFtpUpdate(const char* a, std::uint16_t p, const char* n, const char* w,
                        const char* v) override {
        calls.push_back({"ftp", a, p, n, w, v, m_launchMode ? *m_launchMode : 0});
        return ftpResult;
    }
    void StoreHttpServer(const char* a, std::uint16_t p, const char* n, const char* w,
                         const char* v) override {
        calls.push_back({"store", a, p, n, w, v, m_launchMode ? *m_launchMode : 0});
    }
    bool StartHttpUpdate() override {
        calls.push_back({"http", "", 0, "", "", "", m_launchMode ? *m_launchMode : 0});
        return httpResult;
    }

    std::vector<Call> calls;
    bool ftpResult = true;
    bool httpResult = true;

  private:
    const std::uint32_t* m_launchMode;
};

// Dispatches messages of `queue` until `done` holds or timeoutMs pass.
bool PumpUntil(platform::MessageQueue& queue, const std::function<bool()>& done,
               int timeoutMs = 5000);
// Dispatches whatever arrives during `ms`.
void PumpFor(platform::MessageQueue& queue, int ms);

// The reference connect server, run on its own thread of this process.
class InProcessConnectServer {
  public:
    explicit InProcessConnectServer(connectserver::Config config);
    ~InProcessConnectServer();
    std::uint16_t Port() const { return m_server.Port(); }
    std::vector<std::string> LogLines();

  private:
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
    connectserver::Server m_server;
    std::thread m_thread;
};

// A hand-driven server end on loopback, for tests that must control exactly how
// bytes are cut into reads. Every wait is bounded.
class ScriptedPeer {
  public:
    ScriptedPeer();
    ~ScriptedPeer();
    std::uint16_t Port() const { return m_port; }
    bool Accept(int timeoutMs = 5000);
    bool Send(const Bytes& bytes);
    // Reads what has arrived without waiting; false when the peer has closed.
    bool Poll();
    // Waits until at least n bytes have arrived (true) or the time runs out.
    bool WaitFor(std::size_t n, int timeoutMs = 5000);
    // Waits until the client closes its end.
    bool WaitForClose(int timeoutMs = 5000);
    void StopReading() { m_reading = false; }
    void StartReading() { m_reading = true; }
    Bytes received;
    bool closed = false;

  private:
    platform::SocketHandle m_listener = platform::kInvalidSocket;
    platform::SocketHandle m_socket = platform::kInvalidSocket;
    std::uint16_t m_port = 0;
    bool m_reading = true;
};

// Bytes of `type` with a header of the given kind and `length` bytes in all;
// the body is zero.
Bytes Packet(std::uint8_t header, std::uint8_t type, int length);
Bytes Concat(std::initializer_list<Bytes> parts);

} // namespace tarnvale::test
