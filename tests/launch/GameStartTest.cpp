#include "launch/GameStart.h"
#include "LaunchTestSupport.h"
#include "launch/GameClient.h"
#include "msg/MessageFile.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStart.h"
#include "platform/Registry.h"
#include "tarnvale/settings.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <tlhelp32.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnvale {
namespace {

constexpr ParamKey kKey = {0x1B, 0x2C, 0x3D, 0x4E};

TEST(GameCommandLine, ExactBytes) {
    const std::string line = BuildGameCommandLine("10.0.0.1", "5000", kKey);
    const std::string expected =
        std::string("connect /y") +
        std::string({'1' + 0x1B, '0' + 0x2C, '.' + 0x3D, '0' + 0x4E, '.' + 0x1B, '0' + 0x2C,
                     '.' + 0x3D, '1' + 0x4E}) +
        " /z" + std::string({'5' + 0x1B, '0' + 0x2C, '0' + 0x3D, '0' + 0x4E}) + " ";
    EXPECT_EQ(line, expected) << "the port text's index starts again at 0";
}

TEST(GameCommandLine, LengthIsFourteenPlusAddressPlusDigits) {
    const struct {
        const char* address;
        const char* port;
    } cases[] = {{"", "0"}, {"1.2.3.4", "80"}, {"255.255.255.255", "65535"}, {"10.0.0.1", "5"}};
    for (const auto& c : cases) {
        const std::string line = BuildGameCommandLine(c.address, c.port, kKey);
        EXPECT_EQ(line.size(), 14 + std::strlen(c.address) + std::strlen(c.port)) << c.address;
        std::string address, port;
        ASSERT_TRUE(DecodeGameCommandLine(line, kKey, address, port)) << c.address;
        EXPECT_EQ(address, c.address);
        EXPECT_EQ(port, c.port);
    }
}

TEST(GameCommandLine, DecodingCopesWithSeparatorBytesInsideTheAddress) {
    // An address whose scrambled form holds " /z" and spaces: the separator is the
    // last one that a port text follows.
    const std::string address = DescrambleParamText(" /z /z9", kKey);
    std::string decodedAddress, port;
    ASSERT_TRUE(DecodeGameCommandLine(BuildGameCommandLine(address, "44405", kKey), kKey,
                                      decodedAddress, port));
    EXPECT_EQ(decodedAddress, address);
    EXPECT_EQ(port, "44405");

    std::string line = BuildGameCommandLine("1.2.3.4", "80", kKey);
    line.pop_back();
    EXPECT_TRUE(DecodeGameCommandLine(line, kKey, decodedAddress, port))
        << "a final space dropped on the way is tolerated";
    for (const std::string& bad :
         {std::string(""), std::string("connect"), std::string("connect /y1.2.3.4 /z80 "),
          std::string("start /yabc /zdef "), BuildGameCommandLine("1.2.3.4", "123456", kKey),
          BuildGameCommandLine("1.2.3.4", "", kKey)})
        EXPECT_FALSE(DecodeGameCommandLine(bad, kKey, decodedAddress, port)) << bad;
}

void LoadTexts(LauncherState& state) {
    state.messages.LoadFromMemory(msg::SerializeMessageFile(
        {{131, "out of memory"}, {132, "bad format"}, {133, "not found"}, {151, "not stored"}},
        settings::kMessageKey));
}

PartitionEntry Entry(const char* name, const char* address, std::uint16_t port) {
    PartitionEntry entry{};
    std::strncpy(entry.name, name, sizeof entry.name - 1);
    std::memcpy(entry.address, address, std::min(std::strlen(address), sizeof entry.address));
    entry.port = port;
    return entry;
}

TEST(GameCommandLine, PreparedFromTheChosenPartition) {
    LauncherState state;
    state.partitions[0] = Entry("Zero", "10.0.0.1", 5000);
    state.partitions[4] = Entry("Four", "10.0.0.4", 65535);
    EXPECT_EQ(PrepareGameCommandLine(state), BuildGameCommandLine("10.0.0.1", "5000", kKey))
        << "without a partition button, entry 0";
    state.selectedPartition = 4;
    PrepareGameCommandLine(state);
    EXPECT_STREQ(state.gameServerAddress, "10.0.0.4");
    EXPECT_STREQ(state.gameServerPortText, "65535");

    // A 16-byte address field without its terminating zero is not read past.
    state.partitions[4] = Entry("Four", "123.123.123.1234", 7);
    PrepareGameCommandLine(state);
    EXPECT_STREQ(state.gameServerAddress, "123.123.123.1234");
    EXPECT_STREQ(state.gameServerPortText, "7");
}

// A window that logs ResetToConnect among the hooks' calls.
class LoggingWindow : public test::RecordingWindow {
  public:
    explicit LoggingWindow(std::vector<std::string>& log) : m_log(log) {}
    void ResetToConnect() override {
        RecordingWindow::ResetToConnect();
        m_log.push_back("reset");
    }

  private:
    std::vector<std::string>& m_log;
};

class GameStart : public test::RegistryTest {
  protected:
    void SetUp() override {
        RegistryTest::SetUp();
        LoadTexts(state);
        state.partitions[0] = Entry("Zero", "10.0.0.1", 5000);
        state.partitions[2] = Entry("Two", "192.168.1.20", 44406);
        state.selectedPartition = 2;
        window.readyToPlay = true;
        window.connectPending = false;
        hooks.channel = Channel();
        hooks.channel.clock = [] { return 1000u; };
        auto log = [this](const char* what) { return [this, what] { events.push_back(what); }; };
        hooks.playClickSound = log("beep");
        hooks.isConfigPresent = [this] {
            events.push_back("config?");
            return configPresent;
        };
        hooks.runOptionsDialog = log("options");
        hooks.hideConnectButton = log("hide");
        hooks.cleanTempFolder = log("clean");
        hooks.closeSocket = log("socket");
        hooks.closeFtpSession = log("ftp");
        hooks.postQuitMessage = log("quit");
        hooks.closeWindow = [this] {
            events.push_back("close");
            return std::intptr_t{77};
        };
        hooks.startProgram = [this](const char* file, const std::string& parameters) {
            events.push_back("start");
            startedFile = file;
            startedWith = parameters;
            ConnectionParameters read;
            // The parameters are in place when the client starts.
            parametersAtStart = ReadConnectionParameters(read, hooks.channel) ? read.address : "";
            return startResult;
        };
        hooks.endProcess = [this](unsigned code) {
            events.push_back("end");
            exitCode = static_cast<int>(code);
        };
    }

    LauncherState state;
    UpdateState update;
    std::vector<std::string> events;
    LoggingWindow window{events};
    GameStartHooks hooks;
    test::MessageBoxRecorder boxes;
    bool configPresent = true;
    std::intptr_t startResult = platform::kStartSucceeded;
    std::string startedFile, startedWith, parametersAtStart;
    int exitCode = -1;
};

TEST_F(GameStart, BeforeTheServerAnswersConnectOnlyAsksForAConnection) {
    window.readyToPlay = false;
    OnConnectButton(state, window, update, hooks);
    EXPECT_EQ(events, std::vector<std::string>{"hide"});
    EXPECT_TRUE(window.connectPending);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(GameStart, ConnectStoresParametersStartsTheClientAndEnds) {
    update.updateDone = true;
    update.stopRequested = false; // an update connection is still open
    OnConnectButton(state, window, update, hooks);
    EXPECT_EQ(events, (std::vector<std::string>{"beep", "config?", "clean", "socket", "ftp",
                                                "reset", "start", "end"}));
    EXPECT_TRUE(update.stopRequested);
    EXPECT_STREQ(startedFile.c_str(), settings::kGameClientExe);
    EXPECT_EQ(startedWith, BuildGameCommandLine("192.168.1.20", "44406", kKey));
    EXPECT_EQ(parametersAtStart, "192.168.1.20");
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(state.connectWorkerStop, 1u);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(GameStart, MissingConfigOpensTheOptionsDialogFirstAndStoppedUpdateIsNotReset) {
    configPresent = false;
    OnConnectButton(state, window, update, hooks); // stopRequested is set: nothing runs
    EXPECT_EQ(events, (std::vector<std::string>{"beep", "config?", "options", "socket", "ftp",
                                                "start", "end"}));
}

TEST_F(GameStart, FailedStartShowsItsTextAndStillEnds) {
    const struct {
        std::intptr_t result;
        int text; // 0: no box
    } cases[] = {{0, 131}, {2, 133}, {3, 133}, {11, 132}, {5, 0}, {31, 0}};
    for (const auto& c : cases) {
        boxes.Reset();
        events.clear();
        exitCode = -1;
        startResult = c.result;
        OnConnectButton(state, window, update, hooks);
        EXPECT_EQ(exitCode, 0) << c.result;
        if (c.text == 0) {
            EXPECT_TRUE(boxes.Boxes().empty()) << c.result;
            continue;
        }
        ASSERT_EQ(boxes.Boxes().size(), 1u) << c.result;
        EXPECT_EQ(boxes.Boxes()[0].text, state.Text(c.text));
        EXPECT_STRNE(state.Text(c.text), "Msg error");
        EXPECT_EQ(boxes.Boxes()[0].type, platform::kMbIconError);
    }
}

TEST_F(GameStart, UnstorableParametersShowText151AndCloseWithoutStarting) {
    // An address byte that scrambles to zero cannot be handed over whole.
    state.partitions[2] = Entry("Two",
                                "\xe5"
                                "1.2.3",
                                44406);
    OnConnectButton(state, window, update, hooks);
    EXPECT_EQ(events, (std::vector<std::string>{"beep", "config?", "socket", "ftp", "close"}));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "not stored");
    EXPECT_EQ(exitCode, -1) << "the window closes normally instead";
}

TEST_F(GameStart, SelfUpdateHandOverStartsWithoutParameters) {
    state.selectedPartition = 0;
    EXPECT_EQ(StartAfterSelfUpdate(state, hooks), 77);
    EXPECT_EQ(events, (std::vector<std::string>{"socket", "ftp", "start", "quit", "close"}));
    EXPECT_EQ(startedWith, BuildGameCommandLine("10.0.0.1", "5000", kKey));
    EXPECT_EQ(parametersAtStart, "") << "no parameters are written on this path";
    platform::RegistryKey key;
    EXPECT_FALSE(key.Open(platform::RegistryRoot::LocalMachine, KeyPath()));
}

TEST_F(GameStart, MissingGameClientIsReportedAsNotFound) {
    hooks.startProgram = platform::StartProgram; // the real start, in an empty folder
    OnConnectButton(state, window, update, hooks);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "not found");
    EXPECT_EQ(exitCode, 0);
}

#ifndef _WIN32
TEST_F(GameStart, ClientThatIsNoProgramIsReportedAsBadFormat) {
    test::WriteFile(settings::kGameClientExe, "neither a program nor a script\n");
    std::filesystem::permissions(settings::kGameClientExe, std::filesystem::perms::owner_all);
    EXPECT_EQ(platform::StartProgram(settings::kGameClientExe, "x"), platform::kStartBadFormat);
}

// Whatever keeps the system from running the client is a failed start with its
// reason, not only a missing file: the exec itself fails.
TEST_F(GameStart, EveryClientThatCannotRunIsAFailedStartWithItsReason) {
    namespace fs = std::filesystem;
    const char* client = settings::kGameClientExe;
    std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"missing", [] {}},
        {"not executable",
         [&] {
             test::WriteFile(client, "#!/bin/sh\nexit 0\n");
             fs::permissions(client, fs::perms::owner_read | fs::perms::owner_write);
         }},
        {"a folder", [&] { fs::create_directory(client); }},
        {"damaged",
         [&] {
             test::WriteFile(client, std::string("\x7f"
                                                 "ELF\x02\x01",
                                                 6));
         }},
        {"interpreter missing", [&] { test::WriteFile(client, "#!/nonexistent/interpreter\n"); }},
    };
    for (const auto& [what, make] : cases) {
        fs::remove_all(client);
        make();
        if (fs::is_regular_file(client) && what != "not executable")
            fs::permissions(client, fs::perms::owner_all);
        const std::intptr_t result = platform::StartProgram(client, "x");
        EXPECT_LE(result, 32) << what;
        EXPECT_NE(gameclient::StartFailureReason(result), nullptr) << what;
    }
    EXPECT_EQ(gameclient::StartFailureReason(platform::kStartSucceeded), nullptr);
}
#endif

// The demo client as a player's launcher would start it, and what it reports.
class GameClient : public test::RegistryTest {
  protected:
    void SetUp() override {
        RegistryTest::SetUp();
#ifdef _WIN32
        const char* built = TARNVALE_BIN_DIR "/tarnvale-game.exe";
#else
        const char* built = TARNVALE_BIN_DIR "/tarnvale-game";
#endif
        std::filesystem::copy_file(built, Dir() / settings::kGameClientExe);
        // The real key path and clock, as the client uses them.
        DeleteConnectionKey();
    }
    void TearDown() override {
        DeleteConnectionKey();
        RegistryTest::TearDown();
    }

    struct Run {
        int status = -1;
        std::string output;
    };
    // Starts the client with the launcher's start operation and waits for it.
    Run StartAndWait(const std::function<void()>& start);
};

#ifdef _WIN32
GameClient::Run GameClient::StartAndWait(const std::function<void()>& start) {
    // The shell gives no process handle: find the child among the processes.
    start();
    Run run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        HANDLE child = nullptr;
        for (BOOL more = ::Process32First(snapshot, &entry); more && !child;
             more = ::Process32Next(snapshot, &entry))
            if (entry.th32ParentProcessID == ::GetCurrentProcessId() &&
                _stricmp(entry.szExeFile, settings::kGameClientExe) == 0)
                child = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                      entry.th32ProcessID);
        ::CloseHandle(snapshot);
        if (child) {
            ::WaitForSingleObject(child, 60000);
            DWORD code = 0;
            ::GetExitCodeProcess(child, &code);
            ::CloseHandle(child);
            run.status = static_cast<int>(code);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return run;
}
#else
GameClient::Run GameClient::StartAndWait(const std::function<void()>& start) {
    // The child inherits standard output: point it at a file for the start.
    std::fflush(stdout);
    const int saved = ::dup(1);
    const int file = ::open("client-output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 1);
    ::close(file);
    start();
    ::dup2(saved, 1);
    ::close(saved);
    Run run;
    int status = 0;
    if (::waitpid(-1, &status, 0) > 0 && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.output = test::ReadFile("client-output.txt");
    return run;
}
#endif

TEST_F(GameClient, ConnectHandsTheSameServerToTheRealClientThroughBothChannels) {
    LauncherState state;
    state.partitions[5] = Entry("Five", "127.0.0.1", 44406);
    state.selectedPartition = 5;
    UpdateState update;
    test::RecordingWindow window;
    window.readyToPlay = true;
    test::MessageBoxRecorder boxes;
    GameStartHooks hooks; // the real registry key, clock and start
    int exitCode = -1;
    hooks.endProcess = [&](unsigned code) { exitCode = static_cast<int>(code); };

    const Run run = StartAndWait([&] { OnConnectButton(state, window, update, hooks); });
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(run.status, 0) << run.output;
#ifndef _WIN32
    EXPECT_NE(run.output.find("registry: address 127.0.0.1 port 44406\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("command line: address 127.0.0.1 port 44406\n"), std::string::npos)
        << run.output;
#endif
    platform::RegistryKey key;
    EXPECT_FALSE(key.Open(platform::RegistryRoot::LocalMachine, gameclient::kConnectionKeyPath))
        << "the client consumed the parameters";
}

TEST_F(GameClient, ClientRefusesMissingOrDisagreeingParameters) {
    // Started after a self-update, without fresh parameters: nothing to read.
    LauncherState state;
    state.partitions[0] = Entry("Zero", "127.0.0.1", 44406);
    GameStartHooks hooks;
    Run run = StartAndWait([&] { StartAfterSelfUpdate(state, hooks); });
    EXPECT_EQ(run.status, 1) << run.output;

    // Parameters that name another server than the command line.
    ASSERT_TRUE(WriteKeyStamp());
    ASSERT_TRUE(WriteConnectionParameters({"127.0.0.2", 44406}));
    run = StartAndWait([&] { StartAfterSelfUpdate(state, hooks); });
    EXPECT_EQ(run.status, 3) << run.output;

    // A command line that is no connect line.
    ASSERT_TRUE(WriteKeyStamp());
    ASSERT_TRUE(WriteConnectionParameters({"127.0.0.1", 44406}));
    run = StartAndWait([&] { platform::StartProgram(settings::kGameClientExe, "hello"); });
    EXPECT_EQ(run.status, 2) << run.output;
}

} // namespace
} // namespace tarnvale
