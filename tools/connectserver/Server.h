#pragma once

#include "platform/Sockets.h"
#include "tools/connectserver/Config.h"
#include "tools/connectserver/Counters.h"
#include "tools/connectserver/Readiness.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The connect server: greets every launcher, answers the partition-list request
// with the configured ten partitions and the version report with the configured
// answer. It holds many launchers at once and keeps itself from being filled by
// connections that never finish: a deadline for the requests, a ceiling per
// address, an idle close once answered, and eviction of unfinished connections
// when the table is full. The command tarnvale-connect-server is a main over it;
// tests run it in-process.
namespace tarnvale::connectserver {

class Server {
  public:
    using Log = std::function<void(const std::string& line)>;

    Server(Config config, Log log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Starts listening on the configured address and port (0: a free port).
    bool Listen(std::string& error);
    // The port listened on, once Listen has succeeded.
    std::uint16_t Port() const { return m_port; }
    // Serves until Stop is called.
    void Run();
    // Waits up to timeoutMs for activity and serves it, then ends what is overdue.
    void RunOnce(int timeoutMs);
    // Thread-safe: makes Run return within a fraction of a second.
    void Stop() { m_stop = true; }
    bool Stopping() const { return m_stop; }
    // Thread-safe: the counters are logged at the next turn of the loop.
    void RequestStatus() { m_statusRequested = true; }

    // Answers from now on as `config` says; connections stay open and the new
    // limits apply to them. The listening address and port stay as they are.
    void Reconfigure(Config config);
    const Config& CurrentConfig() const { return m_config; }
    std::size_t ConnectionCount() const { return m_connections.size(); }
    const Counters& Statistics() const { return m_counters; }
    const char* ReadinessName() const { return m_readiness->Name(); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Connection;

    void Accept(Clock::time_point now);
    bool Admit(platform::SocketHandle socket, const std::string& peer, Clock::time_point now);
    bool MakeRoom(Clock::time_point now);
    void Serve(const Readiness::Event& event);
    bool Read(Connection& connection);
    bool TakeProxyHeader(Connection& connection);
    bool Frame(Connection& connection);
    bool HandlePacket(Connection& connection, const std::uint8_t* packet, int length);
    void Answer(Connection& connection, std::uint8_t kind, const ClientVersion& version);
    void Queue(Connection& connection, const std::vector<std::uint8_t>& packet);
    bool Flush(Connection& connection);
    bool AtCeiling(const std::string& address) const;
    bool Count(Connection& connection, const std::string& address);
    void Finish(Connection& connection, Clock::time_point now);
    void Close(Connection& connection, std::uint64_t* counter, std::string_view why);
    void Sweep(Clock::time_point now);
    int WaitLimit(int timeoutMs, Clock::time_point now) const;
    void Note(const Connection& connection, std::string_view what);
    void BuildAnswers();

    Config m_config;
    Log m_log;
    std::unique_ptr<Readiness> m_readiness;
    bool m_libraryStarted = false;
    platform::SocketHandle m_listener = platform::kInvalidSocket;
    std::uint16_t m_port = 0;
    bool m_acceptPaused = false;
    Clock::time_point m_acceptResume;

    std::unordered_map<platform::SocketHandle, std::unique_ptr<Connection>> m_connections;
    // Connections in the order they arrived that have not had their answer yet,
    // and those that have, in the order they had it: the first of each list is the
    // next one due.
    std::list<Connection*> m_waiting;
    std::list<Connection*> m_finished;
    std::unordered_map<std::string, std::uint32_t> m_perAddress;
    std::vector<Readiness::Event> m_events;

    // The packets every launcher gets, built once per configuration.
    std::vector<std::uint8_t> m_welcome, m_partitionList, m_upToDate, m_httpInfo, m_ftpInfo;
    // Log lines said again and again, likewise built once per configuration.
    std::string m_partitionListNote, m_deadlineNote;

    Counters m_counters;
    Clock::time_point m_nextStatus;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_statusRequested{false};
};

} // namespace tarnvale::connectserver
