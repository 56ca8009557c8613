#include "LoopbackServers.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <system_error>

namespace tarnvale::test {
namespace {

#ifdef _WIN32
// Wine shows the Linux file system as drive Z:.
std::filesystem::path FromHostPath(const std::string& path) {
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}
#else
std::filesystem::path FromHostPath(const std::string& path) {
    return path;
}
#endif

std::uint16_t ToPort(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value > 0 && value < 65536 ? static_cast<std::uint16_t>(value) : 0;
}

} // namespace

LoopbackServers::LoopbackServers() {
    const char* shared = std::getenv("TARNVALE_LOOPBACK_DIR");
    if (shared && *shared) {
        m_stateDir = FromHostPath(shared);
    } else {
#ifdef _WIN32
        m_problem = "TARNVALE_LOOPBACK_DIR is not set: under Wine the servers must be started "
                    "natively first (tests/support/loopback_servers.sh start DIR, as ctest's "
                    "fixture does)";
        return;
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarnvale-lb-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            m_problem = "cannot create a folder for the servers";
            return;
        }
        m_stateDir = pattern;
        m_owned = true;
        const std::string command = "sh '" TARNVALE_SOURCE_DIR
                                    "/tests/support/loopback_servers.sh' start '" +
                                    m_stateDir.string() + "'";
        if (std::system(command.c_str()) != 0) {
            m_problem = "loopback_servers.sh could not start the servers";
            return;
        }
#endif
    }
    std::ifstream info(m_stateDir / "servers.txt");
    if (!info) {
        m_problem = "no servers.txt in " + m_stateDir.string();
        return;
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(info, line)) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    m_ftpPort = ToPort(values["ftp_port"]);
    m_ftpDosPort = ToPort(values["ftp_dos_port"]);
    m_httpPort = ToPort(values["http_port"]);
    m_user = values["user"];
    m_password = values["password"];
    m_root = FromHostPath(values["root"]);
    if (!m_ftpPort || !m_ftpDosPort || !m_httpPort || m_root.empty())
        m_problem = "servers.txt is incomplete";
}

LoopbackServers::~LoopbackServers() {
#ifndef _WIN32
    if (m_owned) {
        const std::string command = "sh '" TARNVALE_SOURCE_DIR
                                    "/tests/support/loopback_servers.sh' stop '" +
                                    m_stateDir.string() + "'";
        [[maybe_unused]] const int ignored = std::system(command.c_str());
        std::error_code ec;
        std::filesystem::remove_all(m_stateDir, ec);
    }
#endif
}

std::string LoopbackServers::NewArea(const std::string& hint) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string name =
        hint + "-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++);
    std::filesystem::create_directories(m_root / name);
    return name;
}

} // namespace tarnvale::test
