#include "app/WindowTexts.h"
#include "app/LauncherSession.h"
#include "app/WindowLayout.h"
#include "support/TestSupport.h"
#include "update/VersionConfig.h"

#include <cstring>
#include <set>

namespace tarnvale {
namespace {

void NamePartition(LauncherState& state, int index, const char* name) {
    std::memset(state.partitions[index].name, 0, sizeof state.partitions[index].name);
    std::memcpy(state.partitions[index].name, name, std::strlen(name));
}

TEST(WindowTexts, TitleNamesTheChosenPartitionOrTheGame) {
    static LauncherState state; // large: the socket client's buffers
    state.selectedPartition = 0;
    EXPECT_EQ(ProgressTitle(state), "\xa1\xbaTarnvale\xa1\xbb") << "no partition list yet";

    NamePartition(state, 3, "Three");
    NamePartition(state, 5, "Five");
    state.selectedPartition = 3;
    EXPECT_EQ(ProgressTitle(state), "\xa1\xbaThree\xa1\xbb");
    state.selectedPartition = 5;
    EXPECT_EQ(ProgressTitle(state), "\xa1\xba"
                                    "Five\xa1\xbb");

    // A name that fills its whole field has no terminator: the field ends it.
    std::memset(state.partitions[5].name, 'N', sizeof state.partitions[5].name);
    EXPECT_EQ(ProgressTitle(state), "\xa1\xba" + std::string(32, 'N') + "\xa1\xbb");
    state.selectedPartition = 0;
}

TEST(WindowTexts, PercentagesOnlyInTheProgressView) {
    EXPECT_EQ(PercentText(0, 1, true), "100%") << "position 0 shows as 1";
    EXPECT_EQ(PercentText(0, 100, true), "1%");
    EXPECT_EQ(PercentText(37, 100, true), "37%");
    EXPECT_EQ(PercentText(2, 3, true), "66%") << "truncated, not rounded";
    EXPECT_EQ(PercentText(100, 100, true), "100%");
    EXPECT_EQ(PercentText(50, 100, false), "");
}

TEST(WindowTexts, LinksOneAndThreeOpenTheSameAddress) {
    EXPECT_EQ(LinkTextId(layout::kCmdLink1), 2000);
    EXPECT_EQ(LinkTextId(layout::kCmdLink2), 2001);
    EXPECT_EQ(LinkTextId(layout::kCmdLink3), 2000);
    EXPECT_EQ(LinkTextId(layout::kCmdLink4), 2003);
    EXPECT_EQ(LinkTextId(layout::kCmdClose), 0);
    EXPECT_EQ(LinkTextId(layout::kCmdCloseLink), 0);
}

TEST(WindowLayout, ControlsSitWhereTheSkinExpectsThem) {
    // Two columns of five partition buttons.
    std::set<int> columns, rows;
    for (int i = 0; i < layout::kPartitionButtons; ++i) {
        const layout::Point p = layout::PartitionButtonOrigin(i);
        columns.insert(p.x);
        rows.insert(p.y);
    }
    EXPECT_EQ(columns, (std::set<int>{227, 396}));
    EXPECT_EQ(rows, (std::set<int>{17, 46, 75, 104, 133}));
    EXPECT_EQ(layout::PartitionButtonOrigin(7).x, 396);
    EXPECT_EQ(layout::PartitionButtonOrigin(7).y, 104);
    EXPECT_EQ(layout::PartitionButtonName(0), "ParttionButton1");
    EXPECT_EQ(layout::PartitionButtonName(9), "ParttionButton10");

    EXPECT_EQ(layout::PartitionOfCommand(6501), 0);
    EXPECT_EQ(layout::PartitionOfCommand(6510), 9);
    EXPECT_EQ(layout::PartitionOfCommand(6500), -1);
    EXPECT_EQ(layout::PartitionOfCommand(6511), -1);

    // Every button lies inside the window, and the five of the partition view
    // form the bottom row.
    int linkButtons = 0;
    for (const layout::ButtonSpec& b : layout::kButtons) {
        EXPECT_GE(b.origin.x, 0);
        EXPECT_LE(b.origin.x + b.width, layout::kWindowWidth) << b.id;
        EXPECT_LE(b.origin.y + b.height, layout::kWindowHeight) << b.id;
        if (b.partitionView) {
            ++linkButtons;
            EXPECT_EQ(b.origin.y, 337);
        }
    }
    EXPECT_EQ(linkButtons, 5);
    ASSERT_NE(layout::FindButton(layout::kCmdConnect), nullptr);
    EXPECT_STREQ(layout::FindButton(layout::kCmdConnect)->text, "Connect");
    EXPECT_EQ(layout::FindButton(layout::kCmdWindowMode), nullptr) << "no control sends 2007";
}

class ConfigPresenceTest : public test::TempDirTest {};

TEST_F(ConfigPresenceTest, TheFolderWithOrWithoutItsBackslashGivesOnePath) {
    EXPECT_EQ(ConfigIniPath("C:\\Games\\Tarnvale"), "C:\\Games\\Tarnvale\\config.ini");
    EXPECT_EQ(ConfigIniPath("C:\\Games\\Tarnvale\\"), "C:\\Games\\Tarnvale\\config.ini");
    EXPECT_EQ(ConfigIniPath("C:\\"), "C:\\config.ini");

    const std::string folder = Dir().string();
    EXPECT_FALSE(IsConfigPresent(folder));
    test::WriteFile(Dir() / "config.ini", "[LOGIN]\r\nVersion=1.00.00\r\n");
    EXPECT_TRUE(IsConfigPresent(folder));
    EXPECT_TRUE(IsConfigPresent(folder + (folder.find('\\') != std::string::npos ? "\\" : "/")));
    EXPECT_FALSE(IsConfigPresent((Dir() / "elsewhere").string()));
}

class CloseCommandTest : public test::TempDirTest {
  protected:
    static LauncherState& State() {
        static LauncherState state;
        return state;
    }
};

TEST_F(CloseCommandTest, QuitsAtOnceUnlessAnUpdateRunsThenStopsItAndQuitsNextTime) {
    test::RecordingWindow window;
    UpdateState update;
    LauncherSession session(State(), window, update, {});

    ASSERT_TRUE(update.stopRequested) << "no update runs at start";
    EXPECT_TRUE(session.OnCloseCommand());
    EXPECT_EQ(window.resetCount, 0);

    update.stopRequested = false; // a transfer is under way
    window.readyToPlay = true;
    EXPECT_FALSE(session.OnCloseCommand()) << "the launcher stays open";
    EXPECT_TRUE(update.stopRequested) << "the transfer stops after its chunk";
    EXPECT_EQ(window.resetCount, 1);
    EXPECT_FALSE(window.readyToPlay);
    EXPECT_TRUE(window.connectPending);

    EXPECT_TRUE(session.OnCloseCommand()) << "a second Close ends the launcher";
    EXPECT_EQ(window.resetCount, 1);
}

} // namespace
} // namespace tarnvale
