// tarnvale-connect-server run as the operator runs it: its own process, a free
// port read from its standard output, the launcher's client talking to it, and
// its log on standard error.
#include "NetTestSupport.h"
#include "net/ConnectServerDispatcher.h"
#include "support/TestSupport.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
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

} // namespace
} // namespace tarnvale
