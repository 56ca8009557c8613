#include "net/ConnectServer.h"

#include "net/ConnectServerProtocol.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace tarnvale::connectserver {
namespace {

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A piece of a value: text as written in the file (UTF-8), or bytes given by
// \xNN escapes, which are already in the players' code page.
struct Piece {
    bool bytes = false;
    std::string text;
};

// A value is taken as it stands, or between double quotes, where \" \\ and \xNN
// (a byte, for names in the players' code page) are understood.
bool UnquotePieces(std::string_view raw, std::vector<Piece>& pieces, std::string& error) {
    pieces.clear();
    auto add = [&](bool bytes, char c) {
        if (pieces.empty() || pieces.back().bytes != bytes)
            pieces.push_back({bytes, std::string()});
        pieces.back().text += c;
    };
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') {
        if (!raw.empty())
            pieces.push_back({false, std::string(raw)});
        return true;
    }
    raw = raw.substr(1, raw.size() - 2);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            add(false, raw[i]);
            continue;
        }
        if (i + 1 < raw.size() && (raw[i + 1] == '"' || raw[i + 1] == '\\')) {
            add(false, raw[++i]);
        } else if (i + 3 < raw.size() && raw[i + 1] == 'x' && HexDigit(raw[i + 2]) >= 0 &&
                   HexDigit(raw[i + 3]) >= 0) {
            add(true, static_cast<char>(HexDigit(raw[i + 2]) * 16 + HexDigit(raw[i + 3])));
            i += 3;
        } else {
            error = "unknown escape in quoted value (use \\\", \\\\ or \\xNN)";
            return false;
        }
    }
    return true;
}

std::string Joined(const std::vector<Piece>& pieces) {
    std::string out;
    for (const Piece& piece : pieces)
        out += piece.text;
    return out;
}

// The value in the players' code page: written text converted, escaped bytes kept.
bool InCodePage(const std::vector<Piece>& pieces, unsigned codePage, std::string& out) {
    out.clear();
    for (const Piece& piece : pieces) {
        std::string converted;
        if (!piece.bytes && !platform::Utf8ToCodePage(piece.text, codePage, converted))
            return false;
        out += piece.bytes ? piece.text : converted;
    }
    return true;
}

bool ParsePort(const std::string& text, std::uint16_t& port, bool allowZero) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(text);
    if (value > 65535 || (value == 0 && !allowZero))
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

bool IsDottedIpv4(const std::string& text) {
    int parts = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
        const std::size_t dot = text.find('.', i);
        const std::string part =
            text.substr(i, dot == std::string::npos ? std::string::npos : dot - i);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255)
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        i = dot + 1;
    }
    return parts == 4;
}

namespace {

bool ParseVersion(const std::string& text, ClientVersion& version) {
    unsigned a = 0, b = 0, c = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u%c", &a, &b, &c, &extra) != 3 || a > 255 || b > 255 ||
        c > 255)
        return false;
    version = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
               static_cast<std::uint8_t>(c)};
    return true;
}

template <std::size_t N>
bool PutText(const std::string& value, char (&field)[N], const char* what, std::string& error) {
    if (value.size() > N - 1 || value.find('\0') != std::string::npos) {
        error = std::string(what) + " is longer than " + std::to_string(N - 1) + " bytes";
        return false;
    }
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size());
    return true;
}

} // namespace

const char* AnswerName(Answer answer) {
    switch (answer) {
    case Answer::UpToDate:
        return "up-to-date";
    case Answer::Http:
        return "http";
    case Answer::Ftp:
        return "ftp";
    case Answer::Auto:
        return "auto";
    }
    return "?";
}

bool ParseConfig(std::string_view text, Config& config, std::string& error) {
    config = Config{};
    std::string section;
    int partition = -1;
    std::set<std::string> seen;
    struct WrittenName {
        std::vector<Piece> pieces;
        int line = 0;
    } names[kPartitionCount];
    bool haveCurrentVersion = false;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };

    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;

        if (line.front() == '[') {
            if (line.back() != ']')
                return fail("a section header ends with ']'");
            section.assign(Trim(line.substr(1, line.size() - 2)));
            partition = -1;
            if (section.rfind("partition", 0) == 0) {
                const std::string number(Trim(std::string_view(section).substr(9)));
                if (number.empty() || number.size() > 2 ||
                    number.find_first_not_of("0123456789") != std::string::npos ||
                    std::stoi(number) < 1 || std::stoi(number) > kPartitionCount)
                    return fail("partitions are numbered 1 to 10: [" + section + "]");
                partition = std::stoi(number) - 1;
                section = "partition " + number;
            } else if (section != "server" && section != "update") {
                return fail("unknown section [" + section +
                            "] (expected [server], [update] or "
                            "[partition N])");
            }
            if (!seen.insert("[" + section + "]").second)
                return fail("section [" + section + "] appears twice");
            continue;
        }

        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return fail("expected 'key = value'");
        const std::string key(Trim(line.substr(0, equals)));
        std::vector<Piece> pieces;
        if (!UnquotePieces(Trim(line.substr(equals + 1)), pieces, error))
            return fail(error);
        const std::string value = Joined(pieces);
        if (section.empty())
            return fail("'" + key + "' stands before any section");
        if (!seen.insert(section + "." + key).second)
            return fail("'" + key + "' is set twice in [" + section + "]");

        if (section == "server") {
            if (key == "port") {
                if (!ParsePort(value, config.port, true))
                    return fail("port must be a number from 0 to 65535");
            } else if (key == "bind") {
                if (!value.empty() && !IsDottedIpv4(value))
                    return fail("bind must be a dotted IPv4 address");
                config.bindAddress = value;
            } else if (key == "answer") {
                if (value == "up-to-date")
                    config.answer = Answer::UpToDate;
                else if (value == "http")
                    config.answer = Answer::Http;
                else if (value == "ftp")
                    config.answer = Answer::Ftp;
                else if (value == "auto")
                    config.answer = Answer::Auto;
                else
                    return fail("answer must be up-to-date, http, ftp or auto");
            } else if (key == "codepage") {
                if (!platform::ParseCodePage(value, config.codePage))
                    return fail("codepage must be a code page number such as 936 or 949");
            } else if (key == "current_version") {
                if (!ParseVersion(value, config.currentVersion))
                    return fail("current_version must be three numbers 0..255 as in 1.2.3");
                haveCurrentVersion = true;
            } else {
                return fail("unknown key '" + key + "' in [server]");
            }
        } else if (section == "update") {
            UpdateServerInfo& update = config.update;
            if (key == "address") {
                if (value.find(':') != std::string::npos)
                    return fail("address takes the host alone; the port goes in 'port'");
                if (!PutText(value, update.serverAddress, "address", error))
                    return fail(error);
            } else if (key == "port") {
                if (!ParsePort(value, update.serverPort, false))
                    return fail("port must be a number from 1 to 65535");
            } else if (key == "account") {
                if (!PutText(value, update.accountName, "account", error))
                    return fail(error);
            } else if (key == "password") {
                if (!PutText(value, update.accountPassword, "password", error))
                    return fail(error);
            } else if (key == "version_file") {
                if (!PutText(value, update.versionFileName, "version_file", error))
                    return fail(error);
            } else {
                return fail("unknown key '" + key + "' in [update]");
            }
        } else {
            PartitionEntry& entry = config.partitions[partition];
            if (key == "name") {
                // Converted once the whole file, and so the code page, is known.
                names[partition] = {pieces, lineNumber};
            } else if (key == "address") {
                if (!IsDottedIpv4(value))
                    return fail("a partition's address must be a dotted IPv4 address");
                if (!PutText(value, entry.address, "address", error))
                    return fail(error);
            } else if (key == "port") {
                if (!ParsePort(value, entry.port, true))
                    return fail("port must be a number from 0 to 65535 (0: cannot be chosen)");
            } else {
                return fail("unknown key '" + key + "' in [" + section + "]");
            }
        }
    }

    for (int i = 0; i < kPartitionCount; ++i) {
        lineNumber = names[i].line;
        std::string name;
        if (!InCodePage(names[i].pieces, config.codePage, name))
            return fail("name is not UTF-8 that code page " + std::to_string(config.codePage) +
                        " (the players') can write; write such bytes as \\xNN");
        if (!PutText(name, config.partitions[i].name, "name", error))
            return fail(error + " in code page " + std::to_string(config.codePage));
    }

    lineNumber = 0;
    auto incomplete = [&](const std::string& what) {
        error = what;
        return false;
    };
    if (config.answer == Answer::Auto && !haveCurrentVersion)
        return incomplete("answer = auto needs current_version in [server]");
    if (config.answer != Answer::UpToDate) {
        if (config.update.serverAddress[0] == '\0')
            return incomplete(std::string("answer = ") + AnswerName(config.answer) +
                              " needs address in [update]");
        if (config.update.serverPort == 0)
            return incomplete(std::string("answer = ") + AnswerName(config.answer) +
                              " needs port in [update]");
        if (config.update.versionFileName[0] == '\0')
            return incomplete(std::string("answer = ") + AnswerName(config.answer) +
                              " needs version_file in [update]");
        const std::size_t httpAddressLength =
            std::strlen(config.update.serverAddress) +
            (config.update.serverPort == 80 ? 0
                                            : 1 + std::to_string(config.update.serverPort).size());
        if (config.answer != Answer::Ftp &&
            httpAddressLength > sizeof config.update.serverAddress - 1)
            return incomplete("[update] address and port do not fit the launchers' " +
                              std::to_string(sizeof config.update.serverAddress - 1) +
                              "-byte address field as address:port");
    }
    for (int i = 0; i < kPartitionCount; ++i) {
        const PartitionEntry& entry = config.partitions[i];
        if (entry.port != 0 && entry.address[0] == '\0')
            return incomplete("[partition " + std::to_string(i + 1) +
                              "] has a port but no address");
    }
    return true;
}

UpdateServerInfo UpdateInfoFor(const Config& config, std::uint8_t type) {
    UpdateServerInfo info = config.update;
    if (type == proto::kHttpUpdateInfo && info.serverPort != 80) {
        const std::string target =
            std::string(info.serverAddress) + ":" + std::to_string(info.serverPort);
        // A target too long for the field is refused when the file is read.
        if (target.size() < sizeof info.serverAddress) {
            std::memset(info.serverAddress, 0, sizeof info.serverAddress);
            std::memcpy(info.serverAddress, target.data(), target.size());
        }
    }
    return info;
}

std::string DescribeUpdateTarget(const Config& config, std::uint8_t type) {
    const UpdateServerInfo info = UpdateInfoFor(config, type);
    if (type == proto::kHttpUpdateInfo)
        return std::string("http://") + info.serverAddress + "/" + info.versionFileName;
    return std::string("ftp://") + info.accountName + "@" + info.serverAddress + ":" +
           std::to_string(info.serverPort) + "/" + info.versionFileName;
}

std::uint8_t ChooseAnswer(const Config& config, std::uint8_t kind, const ClientVersion& version) {
    switch (config.answer) {
    case Answer::UpToDate:
        return proto::kUpToDate;
    case Answer::Http:
        return proto::kHttpUpdateInfo;
    case Answer::Ftp:
        return proto::kFtpUpdateInfo;
    case Answer::Auto:
        if (version.Packed() >= config.currentVersion.Packed())
            return proto::kUpToDate;
        return kind == proto::kReportFtp ? proto::kFtpUpdateInfo : proto::kHttpUpdateInfo;
    }
    return proto::kUpToDate;
}

// One launcher's connection: bytes received but not yet framed, and bytes waiting
// to be sent.
struct Server::Connection {
    platform::SocketHandle socket = platform::kInvalidSocket;
    std::string peer;
    std::uint8_t in[proto::kMaxPacketSize] = {};
    int inLength = 0;
    std::vector<std::uint8_t> out;
};

namespace {
// A launcher that asks again and again without reading the answers is dropped
// before its waiting answers grow without bound.
constexpr std::size_t kMaxWaitingBytes = 64 * 1024;
} // namespace

Server::Server(Config config, Log log) : m_config(std::move(config)), m_log(std::move(log)) {}

Server::~Server() {
    for (auto& connection : m_connections)
        platform::SocketClose(connection->socket);
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
    m_port = platform::SocketLocalPort(m_listener);
    return true;
}

void Server::Run() {
    while (!m_stop)
        RunOnce(200);
}

void Server::RunOnce(int timeoutMs) {
    std::vector<platform::PollEntry> entries;
    entries.reserve(m_connections.size() + 1);
    platform::PollEntry listen;
    listen.socket = m_listener;
    listen.wantRead = true;
    entries.push_back(listen);
    for (const auto& connection : m_connections) {
        platform::PollEntry entry;
        entry.socket = connection->socket;
        entry.wantRead = true;
        entry.wantWrite = !connection->out.empty();
        entries.push_back(entry);
    }
    if (platform::SocketPoll(entries, timeoutMs) <= 0)
        return;

    // Walk backwards so that dropping a connection leaves the earlier indexes valid;
    // connections accepted below are not in `entries` yet.
    for (std::size_t i = entries.size() - 1; i >= 1; --i) {
        Connection& connection = *m_connections[i - 1];
        if (entries[i].readable && !Read(connection)) {
            Drop(i - 1, nullptr);
            continue;
        }
        if ((entries[i].writable || !connection.out.empty()) && !Write(connection))
            Drop(i - 1, "send failed");
    }
    if (entries[0].readable)
        Accept();
}

void Server::Accept() {
    for (;;) {
        std::string peer;
        const platform::SocketHandle socket = platform::SocketAccept(m_listener, peer);
        if (socket == platform::kInvalidSocket)
            return;
        if (m_connections.size() >= kMaxConnections) {
            platform::SocketClose(socket);
            m_log(peer + " refused: " + std::to_string(kMaxConnections) +
                  " launchers are already connected");
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
        connection->peer = peer;
        m_log(peer + " connected");
        Queue(*connection, proto::BuildWelcome(1));
        Write(*connection);
        m_connections.push_back(std::move(connection));
    }
}

bool Server::Read(Connection& connection) {
    const int n = platform::SocketRecv(connection.socket, connection.in + connection.inLength,
                                       proto::kMaxPacketSize - connection.inLength);
    if (n == 0) {
        m_log(connection.peer + " disconnected");
        return false;
    }
    if (n < 0) {
        if (platform::SocketLastError() == platform::kWouldBlock)
            return true;
        m_log(connection.peer + " dropped: receive error " +
              std::to_string(platform::SocketLastError()));
        return false;
    }
    connection.inLength += n;

    int p = 0;
    while (connection.inLength - p >= 3) {
        const std::uint8_t* packet = connection.in + p;
        const int size = proto::DeclaredSize(packet);
        if (size < 0 || size < proto::HeaderLength(packet) || size > proto::kMaxPacketSize) {
            m_log(connection.peer + " dropped: bad packet header " + std::to_string(packet[0]) +
                  " size " + std::to_string(size));
            return false;
        }
        if (size > connection.inLength - p)
            break;
        if (!HandlePacket(connection, packet, size))
            return false;
        p += size;
    }
    connection.inLength -= p;
    std::memmove(connection.in, connection.in + p, static_cast<std::size_t>(connection.inLength));
    return true;
}

bool Server::HandlePacket(Connection& connection, const std::uint8_t* packet, int length) {
    const std::uint8_t type = proto::PacketType(packet);
    if (type == proto::kPartitionListRequest) {
        int choosable = 0;
        for (const PartitionEntry& entry : m_config.partitions)
            choosable += entry.port != 0 ? 1 : 0;
        Queue(connection, proto::BuildPartitionList(m_config.partitions));
        m_log(connection.peer + " asked for the partition list: sent " + std::to_string(choosable) +
              " choosable partitions");
    } else if ((type == proto::kReportHttp || type == proto::kReportFtp) &&
               length >= proto::kVersionReportLength && packet[0] == proto::kShortHeader) {
        const ClientVersion version{packet[3], packet[4], packet[5]};
        const std::uint8_t answer = ChooseAnswer(m_config, type, version);
        std::string what;
        if (answer == proto::kUpToDate) {
            Queue(connection, proto::BuildUpToDate());
            what = "up to date (2)";
        } else {
            Queue(connection, proto::BuildUpdateInfo(answer, UpdateInfoFor(m_config, answer)));
            what = std::string(answer == proto::kHttpUpdateInfo ? "HTTP" : "FTP") +
                   " update information (" + std::to_string(answer) +
                   "): " + DescribeUpdateTarget(m_config, answer);
        }
        m_log(connection.peer + " reports version " + FormatLogForm(version) + " and asks for " +
              (type == proto::kReportHttp ? "HTTP" : "FTP") + ": answered " + what);
    } else {
        m_log(connection.peer + " sent packet type " + std::to_string(type) + " of " +
              std::to_string(length) + " bytes: ignored");
    }
    if (connection.out.size() > kMaxWaitingBytes) {
        m_log(connection.peer + " dropped: does not read its answers");
        return false;
    }
    return true;
}

void Server::Queue(Connection& connection, const std::vector<std::uint8_t>& packet) {
    connection.out.insert(connection.out.end(), packet.begin(), packet.end());
}

bool Server::Write(Connection& connection) {
    while (!connection.out.empty()) {
        const int n = platform::SocketSend(connection.socket, connection.out.data(),
                                           static_cast<int>(connection.out.size()));
        if (n > 0) {
            connection.out.erase(connection.out.begin(), connection.out.begin() + n);
            continue;
        }
        return n < 0 && platform::SocketLastError() == platform::kWouldBlock;
    }
    return true;
}

void Server::Drop(std::size_t index, const char* why) {
    Connection& connection = *m_connections[index];
    if (why != nullptr)
        m_log(connection.peer + " dropped: " + why);
    platform::SocketClose(connection.socket);
    m_connections.erase(m_connections.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace tarnvale::connectserver
