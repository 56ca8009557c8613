#include "update/SelfUpdate.h"
#include "InstallFixtures.h"
#include "app/CUpdateApp.h"
#include "msg/MessageFile.h"
#include "platform/FileOps.h"
#include "tarnvale/settings.h"

#include <filesystem>
#include <functional>

namespace tarnvale {
namespace {

using test::Put;
using test::Slurp;

using SelfUpdate = test::TempDirTest;

const std::string kExe = std::string(settings::kLauncherName) + ".exe";

TEST_F(SelfUpdate, WaitingCopiesTakeTheirOwnNames) {
    ASSERT_EQ(WaitingCopies().size(), 4u);
    for (const WaitingCopy& copy : WaitingCopies()) {
        Put(copy.target, "old " + copy.target);
        Put(copy.waiting, "new " + copy.target);
    }
    platform::WriteAttributes("veymsg.dll", platform::kAttrReadOnly);

    const SelfUpdateResult result = CompleteSelfUpdate();
    EXPECT_EQ(result.installed, 4);
    EXPECT_EQ(result.waiting, 0);
    for (const WaitingCopy& copy : WaitingCopies()) {
        EXPECT_EQ(Slurp(copy.target), "new " + copy.target);
        EXPECT_FALSE(platform::PathExists(copy.waiting)) << copy.waiting;
        EXPECT_FALSE(platform::PathExists(AsideName(copy.target))) << "old file deleted";
    }
    EXPECT_EQ(WaitingCopies()[0].target, kExe);
    EXPECT_EQ(CompleteSelfUpdate().installed, 0) << "nothing waits any more";
}

TEST_F(SelfUpdate, ACopyWithoutAnOldFileStillGoesInPlace) {
    Put("qx_zp._ll", "new");
    EXPECT_EQ(CompleteSelfUpdate().installed, 1);
    EXPECT_EQ(Slurp("qx_zp.dll"), "new");
}

TEST_F(SelfUpdate, OldFilesLeftAsideAreRemovedAtTheNextStart) {
    // What a swap leaves when the old executable was still running.
    Put(AsideName(kExe), "old launcher");
    Put(kExe, "new launcher");
    EXPECT_EQ(CompleteSelfUpdate().installed, 0);
    EXPECT_FALSE(platform::PathExists(AsideName(kExe)));
    EXPECT_EQ(Slurp(kExe), "new launcher");
}

TEST_F(SelfUpdate, AFailedSwapLeavesTheOldFilesWorking) {
    // The aside name is taken by something that cannot be removed.
    Put("message.wtf", "old table");
    Put("message._tf", "new table");
    Put(AsideName("message.wtf") + "\\blocker", "x");
    const SelfUpdateResult result = CompleteSelfUpdate();
    EXPECT_EQ(result.installed, 0);
    EXPECT_EQ(result.waiting, 1);
    EXPECT_EQ(Slurp("message.wtf"), "old table");
    EXPECT_EQ(Slurp("message._tf"), "new table") << "still waiting for a later start";
}

class NoWindow : public LauncherFrontEnd {
  public:
    explicit NoWindow(std::function<void(LauncherState&)> run) : m_run(std::move(run)) {}
    void RunWindow(LauncherState& state) override { m_run(state); }

  private:
    std::function<void(LauncherState&)> m_run;
};

TEST_F(SelfUpdate, StartUpInstallsTheWaitingMessageTableBeforeLoadingIt) {
    Put("message.wtf", msg::SerializeMessageFile({{102, "old text"}}, settings::kMessageKey));
    Put("message._tf", msg::SerializeMessageFile({{102, "new text"}}, settings::kMessageKey));
    Put(std::string(settings::kLauncherName) + "._xe", "new launcher");
    std::string shown;
    NoWindow window([&](LauncherState& state) { shown = state.Text(102); });
    LauncherState state;
    CUpdateApp app(state, window, "tarnvale-selfupdate-test-mutex");
    app.InitInstance("");
    EXPECT_EQ(shown, "new text");
    EXPECT_FALSE(platform::PathExists("message._tf"));
    EXPECT_EQ(Slurp(kExe), "new launcher");
}

} // namespace
} // namespace tarnvale
