#include "app/CUpdateApp.h"
#include "app/CommandLine.h"
#include "msg/MessageFile.h"
#include "support/TestSupport.h"
#include "tarnvale/settings.h"

#include <functional>
#include <random>

namespace tarnvale {
namespace {

struct Switches {
    std::uint32_t launchMode;
    std::uint32_t testServerFlag;
    std::uint8_t version[3];
};

Switches Apply(const char* commandLine, std::uint32_t startFlag = 0) {
    LauncherState state;
    state.testServerFlag = startFlag;
    ApplyCommandLine(commandLine, state);
    return {state.launchMode,
            state.testServerFlag,
            {state.overrideVersion[0], state.overrideVersion[1], state.overrideVersion[2]}};
}

TEST(CommandLine, Switches) {
    struct Case {
        const char* line;
        std::uint32_t mode, flag;
        std::uint8_t major, minor, build;
    } cases[] = {
        {"", 0, 0, 0, 0, 0},
        {"/t", 1, 1, 0, 0, 0},
        {"/T", 1, 1, 0, 0, 0},
        {"  /t  extra words here", 1, 1, 0, 0, 0},
        {"/r", 0, 0, 0, 0, 0},
        {"/l 1.2.3", 2, 0, 1, 2, 3},
        {"/L\t1.2.3 4.5.6", 2, 0, 1, 2, 3},
        {"/l 1.2", 2, 0, 1, 2, 0},
        {"/l 1.300.5", 2, 0, 1, 44, 5},
        {"/l", 2, 0, 0, 0, 0},
        {"/l 1..2.3", 2, 0, 1, 2, 3},
        {"/l abc.7x.9", 2, 0, 0, 7, 9},
        {"/x", 0, 0, 0, 0, 0},
        {"-t", 0, 0, 0, 0, 0},
        {"/test", 0, 0, 0, 0, 0},
        {"/tt", 0, 0, 0, 0, 0},
        {"word /t", 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const Switches s = Apply(c.line);
        EXPECT_EQ(s.launchMode, c.mode) << c.line;
        EXPECT_EQ(s.testServerFlag, c.flag) << c.line;
        EXPECT_EQ(s.version[0], c.major) << c.line;
        EXPECT_EQ(s.version[1], c.minor) << c.line;
        EXPECT_EQ(s.version[2], c.build) << c.line;
    }
    EXPECT_EQ(Apply("/l 1.2.3", 1).testServerFlag, 1u) << "/l leaves the test-server flag";
    EXPECT_EQ(Apply("/r", 1).testServerFlag, 0u);
}

TEST(CommandLine, VersionWordIsReadUpTo255Characters) {
    // Characters beyond 255 are not seen: a third piece past the limit is lost.
    const std::string word = "1.2" + std::string(251, '0') + ".9";
    ASSERT_EQ(word.size(), 256u);
    EXPECT_EQ(Apply(("/l " + word).c_str()).version[2], 0);
    const std::string fits = "1.2" + std::string(250, '0') + ".9";
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(Apply(("/l " + fits).c_str()).version[2], 9);
}

// Runs a callback as the launcher window.
class CallbackFrontEnd : public LauncherFrontEnd {
  public:
    explicit CallbackFrontEnd(std::function<void(LauncherState&)> run) : m_run(std::move(run)) {}
    void RunWindow(LauncherState& state) override {
        ++runs;
        m_run(state);
    }
    int runs = 0;

  private:
    std::function<void(LauncherState&)> m_run;
};

class StartupTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::random_device random;
        mutexName = "tarnvale-test-" + std::to_string(random());
        test::WriteFile("message.wtf",
                        msg::SerializeMessageFile({{102, "connecting"}, {127, "already running"}},
                                                  settings::kMessageKey));
    }
    std::string mutexName;
    test::MessageBoxRecorder boxes;
};

TEST_F(StartupTest, FirstInstanceRunsTheWindowWithDefaults) {
    LauncherState state;
    CallbackFrontEnd window([](LauncherState& s) {
        EXPECT_STREQ(s.connectHost, settings::kDefaultConnectHost);
        EXPECT_EQ(s.connectPort, 44405);
        EXPECT_EQ(s.launchMode, 0u);
        EXPECT_EQ(s.testServerFlag, 0u);
        EXPECT_STREQ(s.Text(102), "connecting") << "the message table is loaded";
    });
    CUpdateApp app(state, window, mutexName.c_str());
    EXPECT_FALSE(app.InitInstance(""));
    EXPECT_EQ(window.runs, 1);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StartupTest, SecondInstanceShowsText127AndNeverRunsItsWindow) {
    LauncherState first, second;
    CallbackFrontEnd secondWindow([](LauncherState&) {});
    CallbackFrontEnd firstWindow([&](LauncherState&) {
        CUpdateApp secondApp(second, secondWindow, mutexName.c_str());
        EXPECT_FALSE(secondApp.InitInstance("/t"));
    });
    CUpdateApp firstApp(first, firstWindow, mutexName.c_str());
    firstApp.InitInstance("");

    EXPECT_EQ(firstWindow.runs, 1);
    EXPECT_EQ(secondWindow.runs, 0);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "already running");
    EXPECT_EQ(boxes.Boxes()[0].type, 0x10u);
    EXPECT_FALSE(boxes.Boxes()[0].caption.empty()) << "captioned with the application's name";
    EXPECT_EQ(second.launchMode, 0u) << "the second instance stops before the command line";
    EXPECT_EQ(second.connectPort, 0);
}

TEST_F(StartupTest, MissingMessageFileStillStartsWithDefaultTexts) {
    std::filesystem::remove("message.wtf");
    LauncherState state;
    CallbackFrontEnd window([](LauncherState& s) { EXPECT_STREQ(s.Text(102), "Msg error"); });
    CUpdateApp app(state, window, mutexName.c_str());
    app.InitInstance("/l 3.4.5");
    EXPECT_EQ(window.runs, 1);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(state.launchMode, 2u);
    EXPECT_EQ(state.overrideVersion[1], 4);
}

} // namespace
} // namespace tarnvale
