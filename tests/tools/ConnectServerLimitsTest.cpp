// The connect server under abuse: connections that never ask, too many from one
// address, a full table, a load balancer's PROXY header, a new configuration.
// The test turns the server's loop itself, so every step is in a known order.
#include "net/ConnectServerProtocol.h"
#include "platform/Sockets.h"
#include "tools/connectserver/Server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tarnvale {
namespace {

using Bytes = std::vector<std::uint8_t>;
using connectserver::Config;
using connectserver::Server;

// What a launcher sends once it has the Welcome.
const Bytes kRequests = {0xC1, 0x03, 0x09, 0xC1, 0x06, 0x04, 1, 0, 0};
// Welcome, partition list, up to date.
constexpr std::size_t kAnswered = 4 + 504 + 3;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One client connection on loopback, read without waiting.
class Client {
  public:
    explicit Client(std::uint16_t port) : m_socket(platform::SocketCreateStream()) {
        connected =
            platform::SocketConnect(m_socket, platform::SocketInetAddr("127.0.0.1"), port) == 0;
    }
    ~Client() { Close(); }
    void Close() {
        if (m_socket != platform::kInvalidSocket)
            platform::SocketClose(m_socket);
        m_socket = platform::kInvalidSocket;
    }
    void Send(const Bytes& bytes) {
        ASSERT_EQ(platform::SocketSend(m_socket, bytes.data(), static_cast<int>(bytes.size())),
                  static_cast<int>(bytes.size()));
    }
    // Takes what has arrived; false once the server has closed the connection.
    bool Poll() {
        while (!closed) {
            std::vector<platform::PollEntry> entries(1);
            entries[0].socket = m_socket;
            entries[0].wantRead = true;
            if (platform::SocketPoll(entries, 0) <= 0 || !entries[0].readable)
                break;
            std::uint8_t buffer[2048];
            const int n = platform::SocketRecv(m_socket, buffer, sizeof buffer);
            if (n <= 0)
                closed = true;
            else
                received.insert(received.end(), buffer, buffer + n);
        }
        return !closed;
    }

    bool connected = false;
    bool closed = false;
    Bytes received;

  private:
    platform::SocketHandle m_socket;
};

class ConnectServerLimits : public ::testing::Test {
  protected:
    void Start(Config config) {
        config.port = 0;
        config.bindAddress = "127.0.0.1";
        m_server = std::make_unique<Server>(
            config, [this](const std::string& line) { log.push_back(line); });
        std::string error;
        ASSERT_TRUE(m_server->Listen(error)) << error;
    }
    Server& server() { return *m_server; }
    std::uint16_t Port() const { return m_server->Port(); }
    // Turns the server's loop until `done` holds; false after timeoutMs.
    bool Pump(const std::function<bool()>& done, int timeoutMs = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            m_server->RunOnce(10);
            if (done())
                return true;
        }
        return false;
    }
    void PumpFor(int ms) {
        Pump([] { return false; }, ms);
    }
    bool Logged(const std::string& text) const {
        for (const std::string& line : log)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }
    static bool Has(Client& client, std::size_t bytes) {
        client.Poll();
        return client.received.size() >= bytes;
    }
    static bool Closed(Client& client) { return !client.Poll(); }

    std::vector<std::string> log;

  private:
    std::unique_ptr<Server> m_server;
};

TEST_F(ConnectServerLimits, ConnectionsThatDoNotAskInTimeAreDropped) {
    Config config;
    config.limits.requestDeadlineMs = 300;
    Start(config);
    Client silent(Port()), trickle(Port()), launcher(Port());
    trickle.Send({0xC1}); // a packet begun and never ended
    launcher.Send(kRequests);
    ASSERT_TRUE(Pump([&] { return Has(launcher, kAnswered); }));
    ASSERT_TRUE(Pump([&] { return Closed(silent) && Closed(trickle); }));
    EXPECT_EQ(silent.received, proto::BuildWelcome(1));
    EXPECT_TRUE(launcher.Poll()) << "an answered launcher stays until its idle time";
    EXPECT_EQ(server().Statistics().deadline, 2u);
    EXPECT_EQ(server().Statistics().upToDate, 1u);
    EXPECT_EQ(server().Statistics().partitionLists, 1u);
    EXPECT_TRUE(Logged("dropped: no request within 300 ms"));
}

TEST_F(ConnectServerLimits, AnsweredConnectionsCloseWhenIdle) {
    for (int idleMs : {0, 200}) {
        Config config;
        config.limits.idleCloseMs = idleMs;
        Start(config);
        Client launcher(Port());
        launcher.Send(kRequests);
        ASSERT_TRUE(Pump([&] { return Closed(launcher); })) << idleMs;
        EXPECT_EQ(launcher.received.size(), kAnswered) << "everything arrives before the close";
        EXPECT_EQ(server().Statistics().closedIdle, 1u);
        EXPECT_EQ(server().ConnectionCount(), 0u);
    }
}

TEST_F(ConnectServerLimits, OneAddressHasACeiling) {
    Config config;
    config.limits.perAddress = 2;
    Start(config);
    auto first = std::make_unique<Client>(Port());
    Client second(Port());
    ASSERT_TRUE(Pump([&] { return Has(*first, 4) && Has(second, 4); }));
    Client third(Port());
    ASSERT_TRUE(Pump([&] { return Closed(third); }));
    EXPECT_TRUE(third.received.empty()) << "refused before the Welcome";
    EXPECT_EQ(server().Statistics().refusedPerAddress, 1u);
    EXPECT_TRUE(Logged("refused: 2 connections from 127.0.0.1 are already open"));

    first.reset(); // a place for that address again
    ASSERT_TRUE(Pump([&] { return server().ConnectionCount() == 1; }));
    Client fourth(Port());
    fourth.Send(kRequests);
    EXPECT_TRUE(Pump([&] { return Has(fourth, kAnswered); }));
}

TEST_F(ConnectServerLimits, AFullTableMakesRoomFromConnectionsThatAreDoneOrNeverAsked) {
    Config config;
    config.limits.maxConnections = 2;
    Start(config);
    Client answered(Port()), silent(Port());
    answered.Send(kRequests);
    ASSERT_TRUE(Pump([&] { return Has(answered, kAnswered) && Has(silent, 4); }));

    // Full: the launcher that has its answer goes first.
    Client second(Port());
    ASSERT_TRUE(Pump([&] { return Has(second, 4) && Closed(answered); }));
    EXPECT_TRUE(silent.Poll());

    // Full again, and nobody has waited long enough to be taken for no launcher.
    Client refused(Port());
    ASSERT_TRUE(Pump([&] { return Closed(refused); }));
    EXPECT_TRUE(refused.received.empty());
    EXPECT_EQ(server().Statistics().refusedFull, 1u);

    // A second on, the connection that never asked makes room.
    PumpFor(1050);
    Client third(Port());
    third.Send(kRequests);
    ASSERT_TRUE(Pump([&] { return Has(third, kAnswered) && Closed(silent); }));
    EXPECT_TRUE(second.Poll()) << "the younger waiting connection stays";
    EXPECT_EQ(server().Statistics().evicted, 1u);
}

TEST_F(ConnectServerLimits, ThePlayerBehindABalancerIsNamedAndCounted) {
    Config config;
    config.limits.proxyProtocol = true;
    config.limits.perAddress = 1;
    Start(config);
    const Bytes v2Header = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D, 0x0A, 0x51, 0x55, 0x49,
                            0x54, 0x0A, 0x21, 0x11, 0x00, 0x0C, 203,  0,    113,  7,
                            127,  0,    0,    1,    0x04, 0xD2, 0xAD, 0x75};
    Client v1(Port()), sameAddress(Port()), noHeader(Port()), local(Port());
    v1.Send(Concat(Text("PROXY TCP4 203.0.113.7 127.0.0.1 50000 44405\r\n"), kRequests));
    ASSERT_TRUE(Pump([&] { return Has(v1, kAnswered); }));
    EXPECT_TRUE(Logged("203.0.113.7:50000 reports version 1.0.0"));

    sameAddress.Send(Concat(v2Header, kRequests));
    noHeader.Send(kRequests);
    local.Send(Concat(Text("PROXY UNKNOWN\r\n"), kRequests));
    ASSERT_TRUE(Pump([&] { return Closed(sameAddress) && Closed(noHeader); }));
    ASSERT_TRUE(Pump([&] { return Has(local, kAnswered); }));
    EXPECT_EQ(server().Statistics().refusedPerAddress, 1u);
    EXPECT_EQ(server().Statistics().badProxyHeader, 1u);
    EXPECT_TRUE(Logged("no PROXY header where one was expected"));
}

TEST_F(ConnectServerLimits, ANewConfigurationAnswersConnectionsAlreadyOpen) {
    Start(Config{});
    Client launcher(Port());
    ASSERT_TRUE(Pump([&] { return Has(launcher, 4); }));
    Config ftp;
    ftp.answer = connectserver::Answer::Ftp;
    std::strcpy(ftp.update.serverAddress, "ftp.tarnvale.example");
    ftp.update.serverPort = 21;
    std::strcpy(ftp.update.versionFileName, "version.wvd");
    ftp.partitions[0].port = 55901;
    server().Reconfigure(ftp);
    launcher.Send(kRequests);
    ASSERT_TRUE(Pump([&] { return Has(launcher, 4 + 504 + proto::kUpdateInfoLength); }));
    EXPECT_EQ(launcher.received[4 + 504 + 2], proto::kFtpUpdateInfo);
    EXPECT_EQ(launcher.received[4 + 4 + 48], 0x5D) << "the new partition list: port 55901";
    EXPECT_EQ(server().Statistics().ftp, 1u);
}

TEST_F(ConnectServerLimits, TheStatusLineCountsByKindAndCause) {
    Config config;
    config.limits.statusIntervalMs = 100;
    Start(config);
    Client launcher(Port()), bad(Port());
    launcher.Send(kRequests);
    bad.Send({0x00, 0x01, 0x02});
    ASSERT_TRUE(Pump([&] { return Has(launcher, kAnswered) && Closed(bad); }));
    log.clear();
    ASSERT_TRUE(Pump([&] { return Logged("status: "); }, 1000)) << "logged every interval";
    EXPECT_TRUE(Logged("status: 1 connected (at most 20000), 2 accepted; answered 1 partition "
                       "lists, 1 up to date, 0 HTTP, 0 FTP;"));
    EXPECT_TRUE(Logged("1 bad requests"));
    log.clear();
    server().RequestStatus();
    server().RunOnce(0);
    EXPECT_TRUE(Logged("status: ")) << "and on request";
}

} // namespace
} // namespace tarnvale
