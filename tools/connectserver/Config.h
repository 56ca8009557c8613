#pragma once

#include "platform/CodePage.h"
#include "state/LauncherState.h"
#include "update/ClientVersion.h"
#include "update/UpdateState.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What the connect server answers and how it guards itself, as its configuration
// file says.
namespace tarnvale::connectserver {

inline constexpr std::uint16_t kDefaultPort = 44405;

enum class Answer {
    UpToDate, // type 2
    Http,     // type 4, HTTP update information
    Ftp,      // type 5, FTP update information
    Auto,     // up to date from current_version on, else the road the launcher asks for
};

// How many launchers the server holds and for how long. Times are in
// milliseconds.
struct Limits {
    std::size_t maxConnections = 20000;
    // Many players can share one address (a household, a café, a carrier's NAT),
    // so the ceiling only stops one machine from taking a large share of the table.
    std::size_t perAddress = 1000;
    // A launcher sends its two requests as soon as it reads the Welcome.
    int requestDeadlineMs = 5000;
    // A launcher needs nothing from its connection once it has its answer.
    int idleCloseMs = 10000;
    // Expect a PROXY protocol header (version 1 or 2) from a load balancer first.
    bool proxyProtocol = false;
    // Counters in the log every so often; 0: only on request.
    int statusIntervalMs = 60000;
    // One log line per connection and answer; the counters are logged either way.
    bool logConnections = true;
};

struct Config {
    std::uint16_t port = kDefaultPort;
    std::string bindAddress; // empty: every interface
    Answer answer = Answer::UpToDate;
    ClientVersion currentVersion; // used by Answer::Auto
    // The update server's version file on this machine (published_version_file):
    // Answer::Auto then answers from its newest version when that is newer than
    // current_version. Empty: current_version alone.
    std::string publishedVersionFile;
    UpdateServerInfo update; // plain text here; scrambled on the wire
    PartitionEntry partitions[kPartitionCount] = {};
    unsigned codePage = platform::kPlayersCodePage; // of partition names on the wire
    Limits limits;
};

const char* AnswerName(Answer answer);

// The update-server fields sent with the update answer `type` (4 or 5). Launchers
// reach an HTTP update server on the address field alone, so for HTTP a port
// other than 80 travels in it as "address:port".
UpdateServerInfo UpdateInfoFor(const Config& config, std::uint8_t type);
// Where launchers go with that answer, as an operator reads it, e.g.
// "http://127.0.0.1:8080/version.wvd".
std::string DescribeUpdateTarget(const Config& config, std::uint8_t type);

// Which packet type answers a version report of `kind` (4 or 5) for `version`.
std::uint8_t ChooseAnswer(const Config& config, std::uint8_t kind, const ClientVersion& version);

} // namespace tarnvale::connectserver
