#include "tools/connectserver/ConfigReader.h"

#include "tools/connectserver/ConfigValues.h"

#include <set>

namespace tarnvale::connectserver {
namespace {

using values::Piece;

// Reads the file line by line into a Config. Each section's keys have their own
// member; the checks that need the whole file run at the end.
class Reader {
  public:
    Reader(Config& config, std::string& error) : m_config(config), m_error(error) {}

    bool Line(std::string_view line) {
        ++m_lineNumber;
        line = values::Trim(line);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            return true;
        return line.front() == '[' ? Header(line) : Setting(line);
    }
    bool Finish();

  private:
    bool Fail(const std::string& what) {
        m_error = m_lineNumber > 0 ? "line " + std::to_string(m_lineNumber) + ": " + what : what;
        return false;
    }
    bool Header(std::string_view line);
    bool Setting(std::string_view line);
    bool ServerKey(const std::string& key, const std::string& value);
    bool LimitKey(const std::string& key, const std::string& value, bool& known);
    bool UpdateKey(const std::string& key, const std::string& value);
    bool PartitionKey(const std::string& key, const std::vector<Piece>& pieces,
                      const std::string& value);
    bool NeedsUpdateServer();

    Config& m_config;
    std::string& m_error;
    std::string m_section;
    int m_partition = -1;
    std::set<std::string> m_seen;
    struct WrittenName {
        std::vector<Piece> pieces;
        int line = 0;
    } m_names[kPartitionCount];
    bool m_haveCurrentVersion = false;
    int m_lineNumber = 0;
};

bool Reader::Header(std::string_view line) {
    if (line.back() != ']')
        return Fail("a section header ends with ']'");
    m_section.assign(values::Trim(line.substr(1, line.size() - 2)));
    m_partition = -1;
    if (m_section.rfind("partition", 0) == 0) {
        const std::string number(values::Trim(std::string_view(m_section).substr(9)));
        std::size_t n = 0;
        if (number.size() > 2 || !values::ParseCount(number, kPartitionCount, n) || n < 1)
            return Fail("partitions are numbered 1 to 10: [" + m_section + "]");
        m_partition = static_cast<int>(n) - 1;
        m_section = "partition " + number;
    } else if (m_section != "server" && m_section != "update") {
        return Fail("unknown section [" + m_section +
                    "] (expected [server], [update] or [partition N])");
    }
    if (!m_seen.insert("[" + m_section + "]").second)
        return Fail("section [" + m_section + "] appears twice");
    return true;
}

bool Reader::Setting(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return Fail("expected 'key = value'");
    const std::string key(values::Trim(line.substr(0, equals)));
    std::vector<Piece> pieces;
    if (!values::UnquotePieces(values::Trim(line.substr(equals + 1)), pieces, m_error))
        return Fail(m_error);
    const std::string value = values::Joined(pieces);
    if (m_section.empty())
        return Fail("'" + key + "' stands before any section");
    if (!m_seen.insert(m_section + "." + key).second)
        return Fail("'" + key + "' is set twice in [" + m_section + "]");
    if (m_section == "server")
        return ServerKey(key, value);
    if (m_section == "update")
        return UpdateKey(key, value);
    return PartitionKey(key, pieces, value);
}

bool Reader::ServerKey(const std::string& key, const std::string& value) {
    bool known = false;
    const bool limitRead = LimitKey(key, value, known);
    if (known)
        return limitRead;
    if (key == "port") {
        if (!values::ParsePort(value, m_config.port, true))
            return Fail("port must be a number from 0 to 65535");
    } else if (key == "bind") {
        if (!value.empty() && !values::IsDottedIpv4(value))
            return Fail("bind must be a dotted IPv4 address");
        m_config.bindAddress = value;
    } else if (key == "answer") {
        static const std::pair<const char*, Answer> kAnswers[] = {{"up-to-date", Answer::UpToDate},
                                                                  {"http", Answer::Http},
                                                                  {"ftp", Answer::Ftp},
                                                                  {"auto", Answer::Auto}};
        for (const auto& [name, answer] : kAnswers)
            if (value == name) {
                m_config.answer = answer;
                return true;
            }
        return Fail(
            "answer must be up-to-date, http, ftp or auto, not \"" + value + "\"" +
            (value.find('#') != std::string::npos ? " (a comment goes on a line of its own)" : ""));
    } else if (key == "codepage") {
        if (!platform::ParseCodePage(value, m_config.codePage))
            return Fail("codepage must be a code page number such as 936 or 949");
    } else if (key == "published_version_file") {
        if (value.empty())
            return Fail("published_version_file needs the path of the published version file");
        m_config.publishedVersionFile = value;
    } else if (key == "current_version") {
        if (!values::ParseVersion(value, m_config.currentVersion))
            return Fail("current_version must be three numbers 0..255 as in 1.2.3");
        m_haveCurrentVersion = true;
    } else {
        return Fail("unknown key '" + key + "' in [server]");
    }
    return true;
}

// The keys of [server] that bound the connection table. `known` is cleared for
// any other key; the result is false only for a known key with a bad value.
bool Reader::LimitKey(const std::string& key, const std::string& value, bool& known) {
    Limits& limits = m_config.limits;
    known = true;
    if (key == "max_connections") {
        if (!values::ParseCount(value, 1000000, limits.maxConnections) ||
            limits.maxConnections == 0)
            return Fail("max_connections must be a number from 1 to 1000000");
    } else if (key == "max_per_address") {
        if (!values::ParseCount(value, 1000000, limits.perAddress) || limits.perAddress == 0)
            return Fail("max_per_address must be a number from 1 to 1000000");
    } else if (key == "request_deadline") {
        if (!values::ParseSeconds(value, limits.requestDeadlineMs) || limits.requestDeadlineMs == 0)
            return Fail("request_deadline must be seconds, more than 0 and at most 86400");
    } else if (key == "idle_close") {
        if (!values::ParseSeconds(value, limits.idleCloseMs))
            return Fail("idle_close must be seconds from 0 to 86400");
    } else if (key == "status_interval") {
        if (!values::ParseSeconds(value, limits.statusIntervalMs))
            return Fail("status_interval must be seconds from 0 (never) to 86400");
    } else if (key == "proxy_protocol") {
        if (!values::ParseSwitch(value, limits.proxyProtocol))
            return Fail("proxy_protocol must be yes or no");
    } else if (key == "log_connections") {
        if (!values::ParseSwitch(value, limits.logConnections))
            return Fail("log_connections must be yes or no");
    } else {
        known = false;
    }
    return true;
}

bool Reader::UpdateKey(const std::string& key, const std::string& value) {
    UpdateServerInfo& update = m_config.update;
    if (key == "address") {
        if (value.find(':') != std::string::npos)
            return Fail("address takes the host alone; the port goes in 'port'");
        if (!values::PutText(value, update.serverAddress, "address", m_error))
            return Fail(m_error);
    } else if (key == "port") {
        if (!values::ParsePort(value, update.serverPort, false))
            return Fail("port must be a number from 1 to 65535");
    } else if (key == "account") {
        if (!values::PutText(value, update.accountName, "account", m_error))
            return Fail(m_error);
    } else if (key == "password") {
        if (!values::PutText(value, update.accountPassword, "password", m_error))
            return Fail(m_error);
    } else if (key == "version_file") {
        if (!values::PutText(value, update.versionFileName, "version_file", m_error))
            return Fail(m_error);
    } else {
        return Fail("unknown key '" + key + "' in [update]");
    }
    return true;
}

bool Reader::PartitionKey(const std::string& key, const std::vector<Piece>& pieces,
                          const std::string& value) {
    PartitionEntry& entry = m_config.partitions[m_partition];
    if (key == "name") {
        // Converted once the whole file, and so the code page, is known.
        m_names[m_partition] = {pieces, m_lineNumber};
    } else if (key == "address") {
        if (!values::IsDottedIpv4(value))
            return Fail("a partition's address must be a dotted IPv4 address");
        if (!values::PutText(value, entry.address, "address", m_error))
            return Fail(m_error);
    } else if (key == "port") {
        if (!values::ParsePort(value, entry.port, true))
            return Fail("port must be a number from 0 to 65535 (0: cannot be chosen)");
    } else {
        return Fail("unknown key '" + key + "' in [" + m_section + "]");
    }
    return true;
}

bool Reader::Finish() {
    for (int i = 0; i < kPartitionCount; ++i) {
        m_lineNumber = m_names[i].line;
        std::string name;
        const std::string codePage = std::to_string(m_config.codePage);
        std::string unwritable;
        if (!values::InCodePage(m_names[i].pieces, m_config.codePage, name, unwritable))
            return Fail((unwritable.empty()
                             ? std::string("name is not UTF-8 that code page ")
                             : "name: " + unwritable + " is not a character code page ") +
                        codePage + " (the players') can write; write such bytes as \\xNN");
        if (!values::PutText(name, m_config.partitions[i].name, "name", m_error))
            return Fail(m_error + " in code page " + codePage);
    }
    m_lineNumber = 0;
    if (m_config.answer == Answer::Auto && !m_haveCurrentVersion &&
        m_config.publishedVersionFile.empty())
        return Fail("answer = auto needs current_version or published_version_file in [server]");
    if (m_config.answer != Answer::UpToDate && !NeedsUpdateServer())
        return false;
    for (int i = 0; i < kPartitionCount; ++i) {
        const PartitionEntry& entry = m_config.partitions[i];
        if (entry.port != 0 && entry.address[0] == '\0')
            return Fail("[partition " + std::to_string(i + 1) + "] has a port but no address");
    }
    return true;
}

// An answer that sends launchers to an update server needs the whole of it.
bool Reader::NeedsUpdateServer() {
    const UpdateServerInfo& update = m_config.update;
    const std::string answer = std::string("answer = ") + AnswerName(m_config.answer);
    if (update.serverAddress[0] == '\0')
        return Fail(answer + " needs address in [update]");
    if (update.serverPort == 0)
        return Fail(answer + " needs port in [update]");
    if (update.versionFileName[0] == '\0')
        return Fail(answer + " needs version_file in [update]");
    const std::size_t httpAddressLength =
        std::strlen(update.serverAddress) +
        (update.serverPort == 80 ? 0 : 1 + std::to_string(update.serverPort).size());
    if (m_config.answer != Answer::Ftp && httpAddressLength > sizeof update.serverAddress - 1)
        return Fail("[update] address and port do not fit the launchers' " +
                    std::to_string(sizeof update.serverAddress - 1) +
                    "-byte address field as address:port");
    return true;
}

} // namespace

bool ParseConfig(std::string_view text, Config& config, std::string& error) {
    config = Config{};
    // Windows editors begin UTF-8 files with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Reader reader(config, error);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (!reader.Line(text.substr(0, end)))
            return false;
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return reader.Finish();
}

} // namespace tarnvale::connectserver
