#pragma once

#include "platform/CodePage.h"
#include "platform/Sockets.h"
#include "state/LauncherState.h"
#include "update/ClientVersion.h"
#include "update/UpdateState.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The reference connect server that operators run to test launchers: it greets
// every launcher, answers the partition-list request with the configured ten
// partitions and the version report with the configured answer. The command
// tarnvale-connect-server is a thin main over it; tests run it in-process.
namespace tarnvale::connectserver {

inline constexpr std::uint16_t kDefaultPort = 44405;

enum class Answer {
    UpToDate, // type 2
    Http,     // type 4, HTTP update information
    Ftp,      // type 5, FTP update information
    Auto,     // up to date from current_version on, else the road the launcher asks for
};

struct Config {
    std::uint16_t port = kDefaultPort;
    std::string bindAddress; // empty: every interface
    Answer answer = Answer::UpToDate;
    ClientVersion currentVersion; // used by Answer::Auto
    UpdateServerInfo update;      // plain text here; scrambled on the wire
    PartitionEntry partitions[kPartitionCount] = {};
    unsigned codePage = platform::kPlayersCodePage; // of partition names on the wire
};

// Reads the configuration file's text. On failure `error` says what is wrong and
// on which line, and `config` must not be used. Partition names are written in
// UTF-8 and converted into the players' code page (`codepage` in [server]);
// \xNN escapes give bytes already in that code page.
bool ParseConfig(std::string_view text, Config& config, std::string& error);
const char* AnswerName(Answer answer);

// Whether `text` is a dotted IPv4 address (four numbers 0 to 255).
bool IsDottedIpv4(const std::string& text);

// The update-server fields sent with the update answer `type` (4 or 5). Launchers
// reach an HTTP update server on the address field alone, so for HTTP a port
// other than 80 travels in it as "address:port".
UpdateServerInfo UpdateInfoFor(const Config& config, std::uint8_t type);
// Where launchers go with that answer, as an operator reads it, e.g.
// "http://127.0.0.1:8080/version.wvd".
std::string DescribeUpdateTarget(const Config& config, std::uint8_t type);

// Which packet type answers a version report of `kind` (4 or 5) for `version`.
std::uint8_t ChooseAnswer(const Config& config, std::uint8_t kind, const ClientVersion& version);

class Server {
  public:
    using Log = std::function<void(const std::string& line)>;
    static constexpr std::size_t kMaxConnections = 1000;

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
    // Waits up to timeoutMs for activity and serves it.
    void RunOnce(int timeoutMs);
    // Thread-safe: makes Run return within a fraction of a second.
    void Stop() { m_stop = true; }
    std::size_t ConnectionCount() const { return m_connections.size(); }

  private:
    struct Connection;
    void Accept();
    bool Read(Connection& connection);
    bool Write(Connection& connection);
    bool HandlePacket(Connection& connection, const std::uint8_t* packet, int length);
    void Queue(Connection& connection, const std::vector<std::uint8_t>& packet);
    void Drop(std::size_t index, const char* why);

    Config m_config;
    Log m_log;
    bool m_libraryStarted = false;
    platform::SocketHandle m_listener = platform::kInvalidSocket;
    std::uint16_t m_port = 0;
    std::vector<std::unique_ptr<Connection>> m_connections;
    std::atomic<bool> m_stop{false};
};

} // namespace tarnvale::connectserver
