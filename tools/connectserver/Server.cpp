#include "tools/connectserver/Server.h"

#include "net/ConnectServerProtocol.h"
#include "tools/connectserver/ProxyHeader.h"

#include <algorithm>
#include <cstring>

namespace tarnvale::connectserver {
namespace {

// Launchers send a 3-byte and a 6-byte packet; anything that does not fit here
// (a PROXY header and a few packets) is not a launcher.
constexpr std::size_t kInCapacity = 256;
// A launcher that asks again and again without reading the answers is dropped
// before its waiting answers grow without bound.
constexpr std::size_t kMaxWaitingBytes = 64 * 1024;
// When the table is full, a connection that has waited this long without asking
// is taken to be no launcher, and makes room for a new one.
constexpr int kEvictableAfterMs = 1000;
// After the system refuses to accept (out of descriptors), try again after this.
constexpr int kAcceptPauseMs = 100;

std::string AddressOf(const std::string& peer) {
    return peer.substr(0, peer.rfind(':'));
}

int MillisecondsUntil(std::chrono::steady_clock::time_point when,
                      std::chrono::steady_clock::time_point now) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30));
}

} // namespace

// One launcher's connection: bytes received but not yet framed, and bytes waiting
// to be sent.
struct Server::Connection {
    platform::SocketHandle socket = platform::kInvalidSocket;
    std::string peer;        // "address:port" of the player, as the log names it
    std::string address;     // counted against the per-address ceiling; empty: not counted
    Clock::time_point since; // accepted, or answered once finished
    bool finished = false;
    bool proxyPending = false;
    bool writing = false;
    std::list<Connection*>::iterator place;
    std::size_t inLength = 0;
    std::uint8_t in[kInCapacity] = {};
    std::vector<std::uint8_t> out;
    std::size_t outSent = 0;
};

Server::Server(Config config, Log log)
    : m_config(std::move(config)), m_log(std::move(log)), m_readiness(MakeReadiness()) {
    BuildAnswers();
}

Server::~Server() {
    for (auto& [socket, connection] : m_connections)
        platform::SocketClose(socket);
    if (m_listener != platform::kInvalidSocket)
        platform::SocketClose(m_listener);
    if (m_libraryStarted)
        platform::SocketCleanup();
}

bool Server::Listen(std::string& error) {
    if (!m_libraryStarted) {
        platform::SocketLibraryInfo info;
        if (platform::SocketStartup(0x0202, info) != 0) {
            error = "the socket library cannot be started";
            return false;
        }
        m_libraryStarted = true;
    }
    m_listener = platform::SocketListen(m_config.bindAddress.c_str(), m_config.port, error);
    if (m_listener == platform::kInvalidSocket)
        return false;
    if (!m_readiness->Add(m_listener)) {
        error = std::string("cannot watch the listening socket with ") + m_readiness->Name();
        return false;
    }
    m_port = platform::SocketLocalPort(m_listener);
    m_nextStatus = Clock::now() + std::chrono::milliseconds(m_config.limits.statusIntervalMs);
    return true;
}

void Server::Reconfigure(Config config) {
    const bool intervalChanged = config.limits.statusIntervalMs != m_config.limits.statusIntervalMs;
    m_config = std::move(config);
    BuildAnswers();
    if (intervalChanged)
        m_nextStatus = Clock::now() + std::chrono::milliseconds(m_config.limits.statusIntervalMs);
}

void Server::BuildAnswers() {
    m_welcome = proto::BuildWelcome(1);
    m_partitionList = proto::BuildPartitionList(m_config.partitions);
    m_upToDate = proto::BuildUpToDate();
    m_httpInfo = proto::BuildUpdateInfo(proto::kHttpUpdateInfo,
                                        UpdateInfoFor(m_config, proto::kHttpUpdateInfo));
    m_ftpInfo = proto::BuildUpdateInfo(proto::kFtpUpdateInfo,
                                       UpdateInfoFor(m_config, proto::kFtpUpdateInfo));
    const auto choosable =
        std::count_if(std::begin(m_config.partitions), std::end(m_config.partitions),
                      [](const PartitionEntry& entry) { return entry.port != 0; });
    m_partitionListNote = "asked for the partition list: sent " + std::to_string(choosable) +
                          (choosable == 1 ? " choosable partition" : " choosable partitions");
    m_deadlineNote =
        "dropped: no request within " + std::to_string(m_config.limits.requestDeadlineMs) + " ms";
}

void Server::Run() {
    while (!m_stop)
        RunOnce(200);
}

void Server::RunOnce(int timeoutMs) {
    m_readiness->Wait(m_events, WaitLimit(timeoutMs, Clock::now()));
    const Clock::time_point now = Clock::now();
    for (const Readiness::Event& event : m_events) {
        if (event.socket == m_listener)
            Accept(now);
        else
            Serve(event);
    }
    if (m_acceptPaused && now >= m_acceptResume && m_readiness->Add(m_listener))
        m_acceptPaused = false;
    Sweep(now);
    const bool due = m_config.limits.statusIntervalMs > 0 && now >= m_nextStatus;
    if (m_statusRequested.exchange(false) || due) {
        m_log(DescribeCounters(m_counters, m_connections.size(), m_config.limits.maxConnections));
        if (due)
            m_nextStatus = now + std::chrono::milliseconds(m_config.limits.statusIntervalMs);
    }
}

// How long the loop may wait before something falls due.
int Server::WaitLimit(int timeoutMs, Clock::time_point now) const {
    const Limits& limits = m_config.limits;
    int limit = timeoutMs;
    if (!m_waiting.empty())
        limit = std::min(limit,
                         MillisecondsUntil(m_waiting.front()->since +
                                               std::chrono::milliseconds(limits.requestDeadlineMs),
                                           now));
    // With no idle time, answered connections close in the turn that sends the
    // last of their answer, so they set no time of their own.
    if (!m_finished.empty() && limits.idleCloseMs > 0)
        limit = std::min(limit, MillisecondsUntil(m_finished.front()->since +
                                                      std::chrono::milliseconds(limits.idleCloseMs),
                                                  now));
    if (limits.statusIntervalMs > 0)
        limit = std::min(limit, MillisecondsUntil(m_nextStatus, now));
    if (m_acceptPaused)
        limit = std::min(limit, MillisecondsUntil(m_acceptResume, now));
    return limit;
}

// Ends the connections that are overdue: those that did not ask in time, and
// those that have had their answer for the idle time.
void Server::Sweep(Clock::time_point now) {
    const Limits& limits = m_config.limits;
    const auto deadline = std::chrono::milliseconds(limits.requestDeadlineMs);
    while (!m_waiting.empty() && m_waiting.front()->since + deadline <= now)
        Close(*m_waiting.front(), &m_counters.deadline, m_deadlineNote);
    const auto idle = std::chrono::milliseconds(limits.idleCloseMs);
    for (auto it = m_finished.begin(); it != m_finished.end() && (*it)->since + idle <= now;) {
        Connection& connection = **it++;
        // With no idle time, a connection closes once its answer has left; one
        // still sending waits for its next turn.
        if (limits.idleCloseMs == 0 && connection.writing)
            continue;
        Close(connection, &m_counters.closedIdle, "closed: answered and idle");
    }
}

void Server::Accept(Clock::time_point now) {
    for (;;) {
        std::string peer;
        const platform::SocketHandle socket = platform::SocketAccept(m_listener, peer);
        if (socket == platform::kInvalidSocket) {
            const int error = platform::SocketLastError();
            if (error == platform::kWouldBlock)
                return;
            // Out of descriptors, most likely: the listener would stay readable and
            // spin the loop, so it rests a moment.
            ++m_counters.errors;
            m_log("cannot accept connections: system error " + std::to_string(error));
            m_readiness->Remove(m_listener);
            m_acceptPaused = true;
            m_acceptResume = now + std::chrono::milliseconds(kAcceptPauseMs);
            return;
        }
        if (!Admit(socket, peer, now))
            platform::SocketClose(socket);
    }
}

bool Server::Admit(platform::SocketHandle socket, const std::string& peer, Clock::time_point now) {
    const Limits& limits = m_config.limits;
    const std::string address = AddressOf(peer);
    // Behind a load balancer every connection comes from the balancer; players
    // are counted once their PROXY header names them.
    if (!limits.proxyProtocol && AtCeiling(address)) {
        ++m_counters.refusedPerAddress;
        if (limits.logConnections)
            m_log(peer + " refused: " + std::to_string(limits.perAddress) + " connections from " +
                  address + " are already open");
        return false;
    }
    if (m_connections.size() >= limits.maxConnections && !MakeRoom(now)) {
        ++m_counters.refusedFull;
        if (limits.logConnections)
            m_log(peer + " refused: " + std::to_string(limits.maxConnections) +
                  " launchers are already connected");
        return false;
    }
    if (!m_readiness->Add(socket)) {
        ++m_counters.errors;
        return false;
    }
    auto owned = std::make_unique<Connection>();
    Connection& connection = *owned;
    connection.socket = socket;
    connection.peer = peer;
    connection.since = now;
    connection.proxyPending = limits.proxyProtocol;
    connection.place = m_waiting.insert(m_waiting.end(), &connection);
    m_connections[socket] = std::move(owned);
    ++m_counters.accepted;
    if (!limits.proxyProtocol)
        Count(connection, address);
    Note(connection, "connected");
    Queue(connection, m_welcome);
    if (!Flush(connection))
        Close(connection, &m_counters.errors, "dropped: send failed");
    return true;
}

// Frees one place in a full table: first a connection that has its answer, then
// the longest-waiting one that never asked, if it has waited long enough not to
// be a launcher still on its way.
bool Server::MakeRoom(Clock::time_point now) {
    if (!m_finished.empty()) {
        Close(*m_finished.front(), &m_counters.closedIdle, "closed: answered, room needed");
        return true;
    }
    if (!m_waiting.empty()) {
        const int wait = std::min(kEvictableAfterMs, m_config.limits.requestDeadlineMs);
        if (m_waiting.front()->since + std::chrono::milliseconds(wait) <= now) {
            Close(*m_waiting.front(), &m_counters.evicted, "evicted: no request, room needed");
            return true;
        }
    }
    return false;
}

// Whether `address` already has as many connections open as one address may.
bool Server::AtCeiling(const std::string& address) const {
    const auto open = m_perAddress.find(address);
    return open != m_perAddress.end() && open->second >= m_config.limits.perAddress;
}

// Counts the connection against `address`; false when that address is at its
// ceiling.
bool Server::Count(Connection& connection, const std::string& address) {
    if (AtCeiling(address))
        return false;
    ++m_perAddress[address];
    connection.address = address;
    return true;
}

void Server::Serve(const Readiness::Event& event) {
    const auto found = m_connections.find(event.socket);
    if (found == m_connections.end())
        return; // closed earlier in this turn
    Connection& connection = *found->second;
    if (event.readable && !Read(connection))
        return;
    if (event.writable && !Flush(connection))
        Close(connection, &m_counters.errors, "dropped: send failed");
}

// Reads what has arrived and answers it; false when the connection was closed.
bool Server::Read(Connection& connection) {
    const int n = platform::SocketRecv(connection.socket, connection.in + connection.inLength,
                                       static_cast<int>(kInCapacity - connection.inLength));
    if (n == 0) {
        Close(connection, &m_counters.closedByLauncher, "disconnected");
        return false;
    }
    if (n < 0) {
        const int error = platform::SocketLastError();
        if (error == platform::kWouldBlock)
            return true;
        // A launcher's machine that goes away (a crash, a cable pulled) resets
        // the connection; nothing on this side has failed.
        Close(connection, &m_counters.reset, "reset: receive error " + std::to_string(error));
        return false;
    }
    connection.inLength += static_cast<std::size_t>(n);
    if (connection.proxyPending && !TakeProxyHeader(connection))
        return false;
    if (!connection.proxyPending && !Frame(connection))
        return false;
    if (connection.out.size() - connection.outSent > kMaxWaitingBytes) {
        Close(connection, &m_counters.notReading, "dropped: does not read its answers");
        return false;
    }
    if (!Flush(connection)) {
        Close(connection, &m_counters.errors, "dropped: send failed");
        return false;
    }
    return true;
}

// Takes the load balancer's header off the front of the bytes and counts the
// player it names; false when the connection was closed.
bool Server::TakeProxyHeader(Connection& connection) {
    const ProxyHeader header = ParseProxyHeader(connection.in, connection.inLength);
    if (header.status == ProxyHeader::Status::NeedMore)
        return true;
    if (header.status == ProxyHeader::Status::Invalid) {
        Close(connection, &m_counters.badProxyHeader, "dropped: " + header.error);
        return false;
    }
    connection.proxyPending = false;
    connection.inLength -= header.length;
    std::memmove(connection.in, connection.in + header.length, connection.inLength);
    const std::string address = header.local ? AddressOf(connection.peer) : header.source;
    if (!header.local)
        connection.peer = header.source + ":" + std::to_string(header.sourcePort);
    if (!Count(connection, address)) {
        Close(connection, &m_counters.refusedPerAddress,
              "refused: " + std::to_string(m_config.limits.perAddress) + " connections from " +
                  address + " are already open");
        return false;
    }
    return true;
}

// Cuts the bytes into packets and answers each; false when the connection was
// closed.
bool Server::Frame(Connection& connection) {
    std::size_t p = 0;
    while (connection.inLength - p >= 3) {
        const std::uint8_t* packet = connection.in + p;
        const int size = proto::DeclaredSize(packet);
        if (size < 0 || size < proto::HeaderLength(packet) ||
            static_cast<std::size_t>(size) > kInCapacity) {
            Close(connection, &m_counters.badRequest,
                  "dropped: bad packet header " + std::to_string(packet[0]) + " size " +
                      std::to_string(size));
            return false;
        }
        if (static_cast<std::size_t>(size) > connection.inLength - p)
            break;
        if (!HandlePacket(connection, packet, size))
            return false;
        p += static_cast<std::size_t>(size);
    }
    connection.inLength -= p;
    std::memmove(connection.in, connection.in + p, connection.inLength);
    return true;
}

bool Server::HandlePacket(Connection& connection, const std::uint8_t* packet, int length) {
    const std::uint8_t type = proto::PacketType(packet);
    if (type == proto::kPartitionListRequest) {
        Queue(connection, m_partitionList);
        ++m_counters.partitionLists;
        Note(connection, m_partitionListNote);
    } else if ((type == proto::kReportHttp || type == proto::kReportFtp) &&
               length >= proto::kVersionReportLength && packet[0] == proto::kShortHeader) {
        Answer(connection, type, ClientVersion{packet[3], packet[4], packet[5]});
    } else if (m_config.limits.logConnections) {
        Note(connection, "sent packet type " + std::to_string(type) + " of " +
                             std::to_string(length) + " bytes: ignored");
    }
    return true;
}

void Server::Answer(Connection& connection, std::uint8_t kind, const ClientVersion& version) {
    const std::uint8_t answer = ChooseAnswer(m_config, kind, version);
    const bool http = answer == proto::kHttpUpdateInfo;
    if (answer == proto::kUpToDate) {
        Queue(connection, m_upToDate);
        ++m_counters.upToDate;
    } else {
        Queue(connection, http ? m_httpInfo : m_ftpInfo);
        ++(http ? m_counters.http : m_counters.ftp);
    }
    if (m_config.limits.logConnections) {
        const std::string what = answer == proto::kUpToDate
                                     ? std::string("up to date (2)")
                                     : std::string(http ? "HTTP" : "FTP") +
                                           " update information (" + std::to_string(answer) +
                                           "): " + DescribeUpdateTarget(m_config, answer);
        Note(connection, "reports version " + FormatLogForm(version) + " and asks for " +
                             (kind == proto::kReportHttp ? "HTTP" : "FTP") + ": answered " + what);
    }
    Finish(connection, Clock::now());
}

// The exchange is over: the connection moves to the idle list.
void Server::Finish(Connection& connection, Clock::time_point now) {
    if (connection.finished)
        return;
    m_waiting.erase(connection.place);
    connection.finished = true;
    connection.since = now;
    connection.place = m_finished.insert(m_finished.end(), &connection);
}

void Server::Queue(Connection& connection, const std::vector<std::uint8_t>& packet) {
    connection.out.insert(connection.out.end(), packet.begin(), packet.end());
}

// Sends what waits; false on a send error. What the system cannot take yet waits
// for the socket to become writable.
bool Server::Flush(Connection& connection) {
    while (connection.outSent < connection.out.size()) {
        const int n =
            platform::SocketSend(connection.socket, connection.out.data() + connection.outSent,
                                 static_cast<int>(connection.out.size() - connection.outSent));
        if (n > 0) {
            connection.outSent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && platform::SocketLastError() != platform::kWouldBlock)
            return false;
        if (!connection.writing)
            m_readiness->WantWrite(connection.socket, true);
        connection.writing = true;
        return true;
    }
    // Nothing waits: give the memory back, since most connections then sit idle.
    std::vector<std::uint8_t>().swap(connection.out);
    connection.outSent = 0;
    if (connection.writing)
        m_readiness->WantWrite(connection.socket, false);
    connection.writing = false;
    return true;
}

void Server::Close(Connection& connection, std::uint64_t* counter, std::string_view why) {
    if (counter != nullptr)
        ++*counter;
    Note(connection, why);
    (connection.finished ? m_finished : m_waiting).erase(connection.place);
    if (!connection.address.empty()) {
        const auto count = m_perAddress.find(connection.address);
        if (count != m_perAddress.end() && --count->second == 0)
            m_perAddress.erase(count);
    }
    const platform::SocketHandle socket = connection.socket;
    m_readiness->Remove(socket);
    platform::SocketClose(socket);
    m_connections.erase(socket); // destroys `connection`
}

void Server::Note(const Connection& connection, std::string_view what) {
    if (m_config.limits.logConnections)
        m_log(connection.peer + " " + std::string(what));
}

} // namespace tarnvale::connectserver
