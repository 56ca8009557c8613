// tarnvale-connect-server run as the operator runs it: its own process, a free
// port read from its standard output, the launcher's client talking to it, and
// its log on standard error.
#include "NetTestSupport.h"
#include "net/ConnectServerDispatcher.h"
#include "net/ConnectServerProtocol.h"
#include "support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tarnvale {
namespace {

class ServerProcess {
  public:
    explicit ServerProcess(const std::string& config) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "server.log", O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const char* argv[] = {TARNVALE_CONNECT_SERVER, "--port", "0", config.c_str(), nullptr};
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = ::fdopen(out[0], "r");
        unsigned port = 0;
        if (m_out != nullptr && std::fscanf(m_out, "%u", &port) == 1)
            m_port = static_cast<std::uint16_t>(port);
    }
    ~ServerProcess() { Stop(); }
    void Signal(int signal) { ::kill(m_pid, signal); }
    std::uint16_t Port() const { return m_port; }
    // Ends the server as an operator does; returns its exit status.
    int Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        if (m_out != nullptr) {
            std::fclose(m_out);
            m_out = nullptr;
        }
        return m_status;
    }

  private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    std::uint16_t m_port = 0;
    int m_status = -1;
};

class ServerCommand : public test::TempDirTest {};

TEST_F(ServerCommand, LauncherClientGetsPartitionsAndTheAnswer) {
    test::WriteFile("connect.conf", "[server]\n"
                                    "answer = ftp\n"
                                    "[update]\n"
                                    "address = ftp.tarnvale.example\n"
                                    "port = 21\n"
                                    "account = anonymous\n"
                                    "password = \"\"\n"
                                    "version_file = version.wvd\n"
                                    "[partition 2]\n"
                                    "name = Second\n"
                                    "address = 127.0.0.1\n"
                                    "port = 55902\n");
    ServerProcess server((Dir() / "connect.conf").string());
    ASSERT_NE(server.Port(), 0) << "the port was not printed";

    LauncherState state;
    test::RecordingWindow window;
    UpdateState update;
    update.localVersion = {0, 9, 1};
    test::RecordingRoads roads(&state.launchMode);
    ConnectServerDispatcher dispatcher(state, window, update, roads);
    platform::MessageQueue queue([&](const platform::QueuedMessage& m) {
        if (m.message == kWmSocketNotify)
            dispatcher.OnSocketNotify(m.wParam, m.lParam);
    });
    ASSERT_TRUE(state.socketClient.Startup());
    ASSERT_TRUE(state.socketClient.CreateSocket(queue.Handle()));
    ASSERT_TRUE(state.socketClient.Connect("127.0.0.1", server.Port(), kWmSocketNotify));
    ASSERT_TRUE(test::PumpUntil(queue, [&] { return !roads.calls.empty(); }));
    EXPECT_STREQ(state.partitions[1].name, "Second");
    EXPECT_EQ(state.partitions[1].port, 55902);
    EXPECT_EQ(roads.calls[0].road, "ftp");
    EXPECT_EQ(roads.calls[0].address, "ftp.tarnvale.example");
    EXPECT_EQ(roads.calls[0].account, "anonymous");
    state.socketClient.Close();
    test::PumpFor(queue, 100);

    EXPECT_EQ(server.Stop(), 0) << "SIGTERM ends the server cleanly";
    const std::string log = test::ReadFile("server.log");
    EXPECT_NE(log.find("listening on port " + std::to_string(server.Port())), std::string::npos);
    EXPECT_NE(log.find("connected"), std::string::npos) << log;
    EXPECT_NE(log.find("asked for the partition list: sent 1 choosable"), std::string::npos) << log;
    EXPECT_NE(log.find("reports version 0.9.1 and asks for HTTP: answered FTP update information"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("disconnected"), std::string::npos) << log;
}

// Waits until the server's log holds `text`.
bool LogShows(const std::string& text) {
    for (int i = 0; i < 100; ++i) {
        if (test::ReadFile("server.log").find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Connects as a launcher, waits for the Welcome and, when `ask`, sends the two
// requests; returns the connection.
platform::SocketHandle Launcher(std::uint16_t port) {
    const platform::SocketHandle s = platform::SocketCreateStream();
    EXPECT_EQ(platform::SocketConnect(s, platform::SocketInetAddr("127.0.0.1"), port), 0);
    return s;
}

// Sends the launcher's requests and reads until the answer to the version report
// has come; returns its type, or -1.
int AnswerType(platform::SocketHandle s) {
    const test::Bytes requests = {0xC1, 0x03, 0x09, 0xC1, 0x06, 0x04, 1, 0, 0};
    platform::SocketSend(s, requests.data(), static_cast<int>(requests.size()));
    test::Bytes got;
    while (got.size() < 4 + 504 + 3) {
        std::vector<platform::PollEntry> entries(1);
        entries[0].socket = s;
        entries[0].wantRead = true;
        std::uint8_t buffer[1024];
        if (platform::SocketPoll(entries, 5000) <= 0)
            return -1;
        const int n = platform::SocketRecv(s, buffer, sizeof buffer);
        if (n <= 0)
            return -1;
        got.insert(got.end(), buffer, buffer + n);
    }
    platform::SocketClose(s);
    return got[4 + 504 + 2];
}

TEST_F(ServerCommand, HangUpReloadsAGoodFileRefusesABadOneAndKeepsConnections) {
    test::WriteFile("connect.conf", "[server]\nanswer = up-to-date\n");
    ServerProcess server((Dir() / "connect.conf").string());
    ASSERT_NE(server.Port(), 0);
    const platform::SocketHandle early = Launcher(server.Port());

    test::WriteFile("connect.conf", "[server]\nanswer = http\n[update]\naddress = 127.0.0.1\n"
                                    "port = 8080\nversion_file = version.wvd\n");
    server.Signal(SIGHUP);
    ASSERT_TRUE(LogShows("reloaded ")) << test::ReadFile("server.log");
    EXPECT_EQ(AnswerType(early), proto::kHttpUpdateInfo) << "opened before, answered after";

    test::WriteFile("connect.conf", "[server]\nanswer = sometimes\n");
    server.Signal(SIGHUP);
    ASSERT_TRUE(LogShows("reload refused, the configuration in force stays: "))
        << test::ReadFile("server.log");
    EXPECT_TRUE(LogShows("connect.conf: line 2: answer must be"));
    EXPECT_EQ(AnswerType(Launcher(server.Port())), proto::kHttpUpdateInfo);

    server.Signal(SIGUSR1);
    EXPECT_TRUE(LogShows(" 2 accepted; answered 2 partition lists, 0 up to date, 2 HTTP"))
        << test::ReadFile("server.log");
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_TRUE(LogShows("open-file limit: ")) << "the figure the server got is logged";
}

} // namespace
} // namespace tarnvale
