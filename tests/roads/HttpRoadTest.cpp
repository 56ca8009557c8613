// The HTTP road end to end: a real HTTP server on loopback serves trees that the
// patch builder wrote; the road runs on its worker thread as in the launcher.
#include "RoadTestSupport.h"

#include "msg/MessageIds.h"
#include "platform/HttpDownload.h"
#include "update/PatchList.h"

#include <gtest/gtest.h>

namespace tarnvale::test {
namespace {

namespace fs = std::filesystem;

class HttpRoadTest : public RoadTest {};

TEST_F(HttpRoadTest, InstallsEveryNewerVersionWithItsRemovals) {
    Publish("1.00.01", {{"data/a.txt", "a one"}, {"top.txt", "top"}},
            [](tools::PatchVersion& v) { v.removeFiles = {"old.txt"}; });
    Publish("1.00.02", {{"data/a.txt", "a two"}});
    WriteFile("old.txt", "old");
    UpdateEngine engine(launcher, update, window, Hooks());

    EXPECT_EQ(RunHttp(engine), RoadOutcome::Finished);
    EXPECT_EQ(ReadFile("data/a.txt"), "a two");
    EXPECT_EQ(ReadFile("top.txt"), "top");
    EXPECT_FALSE(fs::exists("old.txt"));
    EXPECT_EQ(ConfigVersion(), "1.00.02"); // the archive's own config.ini
    EXPECT_FALSE(fs::exists("version.wvd"));
    EXPECT_FALSE(fs::exists("list.inf"));
    EXPECT_FALSE(fs::exists("Temp/up_list.zip"));
    EXPECT_TRUE(Saw(msgid::kTransferDone));
    EXPECT_TRUE(Saw(msgid::kUnpackingArchive));
    EXPECT_EQ(window.finishCount, 1);
    EXPECT_EQ(window.totalBar.GetRange(), 2);
    EXPECT_EQ(window.totalBar.GetPos(), 2);
    EXPECT_EQ(window.fileBar.GetPos(), 100);
    EXPECT_TRUE(update.updateDone);
    EXPECT_EQ(update.localVersion, (ClientVersion{1, 0, 2}));
    EXPECT_EQ(handOvers, 0);
}

TEST_F(HttpRoadTest, NothingNewerFillsBothBarsWithoutTheDoneMessage) {
    Publish("1.00.01", {{"a.txt", "a"}});
    Publish("1.00.02", {{"a.txt", "b"}});
    SetLocalVersion("1.00.02");
    UpdateEngine engine(launcher, update, window, Hooks());

    EXPECT_EQ(RunHttp(engine), RoadOutcome::Finished);
    EXPECT_FALSE(fs::exists("a.txt"));
    EXPECT_FALSE(Saw(msgid::kTransferDone));
    EXPECT_EQ(window.finishCount, 1);
    EXPECT_EQ(window.totalBar.GetPos(), 1);
    EXPECT_EQ(window.totalBar.GetRange(), 1);
    EXPECT_EQ(window.fileBar.GetPos(), 1);
    EXPECT_EQ(window.fileBar.GetRange(), 1);
    EXPECT_FALSE(fs::exists("version.wvd"));
}

TEST_F(HttpRoadTest, AVersionThatReplacesTheLauncherHandsOverAndStops) {
    Publish("1.00.01", {{"a.txt", "one"}});
    AppendToList("1.00.01", LauncherFileName());
    Publish("1.00.02", {{"a.txt", "two"}});
    UpdateEngine engine(launcher, update, window, Hooks());

    EXPECT_EQ(RunHttp(engine), RoadOutcome::HandedOver);
    EXPECT_EQ(handOvers, 1);
    EXPECT_TRUE(update.selfUpdatePending);
    EXPECT_EQ(ReadFile("a.txt"), "one"); // no later version
    EXPECT_EQ(ConfigVersion(), "1.00.01");
    EXPECT_EQ(window.finishCount, 0);
}

TEST_F(HttpRoadTest, MissingFilesOnTheServerFailWithTheirMessages) {
    {
        // No version file at all.
        UpdateEngine engine(launcher, update, window, Hooks());
        EXPECT_EQ(RunHttp(engine), RoadOutcome::Failed);
        EXPECT_TRUE(Saw(msgid::kTransferFailed));
        // The front end learns the message and, for the operator, the URL and
        // the server's answer.
        ASSERT_EQ(window.failures.size(), 1u);
        EXPECT_EQ(window.failures[0].Message(), msgid::kTransferFailed);
        EXPECT_NE(
            window.failures[0].Detail().find("http://" + HttpAddress() + "/version.wvd?time="),
            std::string::npos)
            << window.failures[0].Detail();
        EXPECT_NE(window.failures[0].Detail().find("404"), std::string::npos);
    }
    // A version file naming a directory the server does not have, after one that
    // installs: the first stays installed, the window keeps its updating state.
    Publish("1.00.01", {{"a.txt", "one"}});
    WriteFile(OnServer("version.wvd"), ReadFile(OnServer("version.wvd")) + "\"1.00.09\"\n");
    window.statusTexts.clear();
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_EQ(RunHttp(engine), RoadOutcome::Failed);
    EXPECT_TRUE(Saw(msgid::kTransferFailed));
    EXPECT_EQ(ReadFile("a.txt"), "one");
    EXPECT_EQ(window.finishCount, 0);
    EXPECT_FALSE(update.updateDone);
    EXPECT_FALSE(fs::exists("version.wvd"));
    EXPECT_EQ(CountStagingFiles("."), 0) << "the version file's copy is gone after a failure";
    EXPECT_FALSE(fs::exists("list.inf"));

    // The archive missing after its list: message 138, the removals are done.
    Publish("1.00.10", {{"b.txt", "b"}}, [](tools::PatchVersion& v) { v.removeFiles = {"a.txt"}; });
    WriteFile(OnServer("version.wvd"), "\"1.00.10\"\n");
    fs::remove(OnServer("1.00.10/up_list.zip"));
    window.statusTexts.clear();
    UpdateEngine third(launcher, update, window, Hooks());
    EXPECT_EQ(RunHttp(third), RoadOutcome::Failed);
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
    EXPECT_FALSE(fs::exists("a.txt"));
    EXPECT_FALSE(fs::exists("b.txt"));
}

TEST_F(HttpRoadTest, AFailedArchiveLeavesNothingOfItsVersionInTemp) {
    // A retry on a nearly full disk would otherwise fail sooner.
    Publish("1.00.01", {{"a.txt", "one"}});
    WriteFile(OnServer("1.00.01/up_list.zip"), "PK\x03\x04 not an archive");
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_EQ(RunHttp(engine), RoadOutcome::Failed);
    EXPECT_TRUE(fs::is_empty("Temp")) << "the archive of the failed version is gone";
    ASSERT_EQ(window.failures.size(), 1u);
    EXPECT_EQ(window.failures[0].Message(), msgid::kUpdateFailed);
    EXPECT_NE(window.failures[0].Detail().find("up_list.zip: a damaged archive"), std::string::npos)
        << window.failures[0].Detail();
    EXPECT_FALSE(fs::exists("a.txt"));
}

// A server whose bodies trickle ends the road with a message instead of holding
// it (here the patch list is the first body long enough to stall).
TEST_F(HttpRoadTest, AStalledBodyFailsTheRoad) {
    ShortTransferLimits limits;
    Publish("1.00.01", {{"big.bin", std::string(300'000, 'b')}});
    UpdateEngine engine(launcher, update, window, Hooks());
    engine.StoreHttpServer((HttpAddress() + "/slow").c_str(), 0, "", "", "version.wvd");
    EXPECT_EQ(engine.StartHttpUpdate(), 1);
    engine.JoinHttpWorker();
    EXPECT_EQ(engine.Outcome(), RoadOutcome::Failed);
    ASSERT_EQ(window.failures.size(), 1u);
    EXPECT_EQ(window.statusTexts.back(), Text(window.failures[0].Message()));
    EXPECT_NE(window.failures[0].Detail().find("http://" + HttpAddress() + "/slow/"),
              std::string::npos)
        << window.failures[0].Detail();
    EXPECT_FALSE(fs::exists("big.bin"));
    EXPECT_TRUE(fs::is_empty("Temp"));
}

TEST_F(HttpRoadTest, AVersionFileNameOutsideTheGameFolderIsNeverWritten) {
    Publish("1.00.01", {{"a.txt", "a"}});
    fs::create_directories("game");
    fs::current_path("game");
    WriteFile("../outside.wvd", "keep me");
    UpdateEngine engine(launcher, update, window, Hooks());
    engine.StoreHttpServer(HttpAddress().c_str(), 0, "", "", "..\\outside.wvd");
    engine.StartHttpUpdate();
    engine.JoinHttpWorker();
    EXPECT_EQ(engine.Outcome(), RoadOutcome::Failed);
    EXPECT_TRUE(Saw(msgid::kTransferFailed));
    EXPECT_EQ(ReadFile("../outside.wvd"), "keep me");
    fs::current_path("..");
}

TEST_F(HttpRoadTest, ARemovalOutsideTheGameFolderFailsTheVersion) {
    Publish("1.00.01", {{"a.txt", "one"}});
    WriteFile(OnServer("1.00.01/list.inf"),
              ReadFile(OnServer("1.00.01/list.inf")) + "@ \"..\\victim.txt\"\n");
    WriteFile("../victim.txt", "keep");
    UpdateEngine engine(launcher, update, window, Hooks());

    EXPECT_EQ(RunHttp(engine), RoadOutcome::Failed);
    EXPECT_EQ(ReadFile("../victim.txt"), "keep");
    fs::remove("../victim.txt");
    EXPECT_FALSE(fs::exists("a.txt")); // the archive was never fetched
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
}

// The progress arithmetic, first by itself, then with a real server that sends
// no length.
TEST_F(HttpRoadTest, ProgressFollowsTheTotalOrCreepsWithoutOne) {
    HttpProgressReceiver progress(window);
    window.fileBar.SetRange(100);
    window.fileBar.SetPos(40);
    progress.OnDownloadStart();
    EXPECT_EQ(window.fileBar.GetPos(), 0);
    progress.OnDownloadProgress(1, 3);
    EXPECT_EQ(window.fileBar.GetPos(), 33);
    // Sizes beyond 32 bits are computed without overflow.
    progress.OnDownloadProgress(3'000'000'000ull, 4'000'000'000ull);
    EXPECT_EQ(window.fileBar.GetPos(), 75);
    progress.OnDownloadProgress(5, 5);
    EXPECT_EQ(window.fileBar.GetPos(), 100);

    window.fileBar.SetPos(0);
    progress.OnDownloadProgress(10, 0);
    EXPECT_EQ(window.fileBar.GetPos(), 2); // the larger of the position and 1, plus 1
    progress.OnDownloadProgress(20, 0);
    EXPECT_EQ(window.fileBar.GetPos(), 3);
    for (int i = 0; i < 200; ++i)
        progress.OnDownloadProgress(30, 0);
    EXPECT_EQ(window.fileBar.GetPos(), 100); // stops at the bar's end

    std::string big(3 << 20, 'x');
    WriteFile(OnServer("big.bin"), big);
    window.fileBar.SetPos(0);
    const int refreshes = window.refreshCount;
    ASSERT_TRUE(platform::DownloadUrlToFile("http://" + HttpAddress() + "/nolength/big.bin",
                                            "big.bin", &progress));
    EXPECT_EQ(ReadFile("big.bin").size(), big.size());
    EXPECT_GT(window.refreshCount, refreshes);
    EXPECT_GE(window.fileBar.GetPos(), 2);
    EXPECT_LE(window.fileBar.GetPos(), 100);
}

} // namespace
} // namespace tarnvale::test
