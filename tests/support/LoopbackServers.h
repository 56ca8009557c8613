#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tarnvale::test {

// Real FTP and HTTP servers on 127.0.0.1 for the transfer tests (see
// loopback_servers.sh): an FTP server with Unix-style listings, one with DOS-style
// listings, and an HTTP server, all serving Root().
//
// Natively the constructor starts them on free ports and waits until they accept;
// the destructor stops them. Under Wine no Linux program can be started, so ctest
// starts them as a fixture and names their folder in TARNVALE_LOOPBACK_DIR; the
// constructor then only reads where they are. The variable is honoured natively
// too, to share one set of servers.
class LoopbackServers {
  public:
    LoopbackServers();
    ~LoopbackServers();
    LoopbackServers(const LoopbackServers&) = delete;
    LoopbackServers& operator=(const LoopbackServers&) = delete;

    // Empty when the servers are up; otherwise why they are not.
    const std::string& Problem() const { return m_problem; }

    std::uint16_t FtpPort() const { return m_ftpPort; }
    std::uint16_t FtpDosPort() const { return m_ftpDosPort; }
    std::uint16_t HttpPort() const { return m_httpPort; }
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    // The folder all servers serve, as this process names it.
    const std::filesystem::path& Root() const { return m_root; }

    // Creates a fresh, uniquely named folder under Root() and returns its name, so
    // that tests sharing the servers never see each other's files.
    std::string NewArea(const std::string& hint);

  private:
    std::string m_problem;
    std::filesystem::path m_stateDir;
    bool m_owned = false;
    std::uint16_t m_ftpPort = 0, m_ftpDosPort = 0, m_httpPort = 0;
    std::string m_user, m_password;
    std::filesystem::path m_root;
};

} // namespace tarnvale::test
