// The FTP road end to end: a real FTP server on loopback (WinINet under Wine,
// libcurl natively) serves trees that the patch builder wrote, in every form a
// version can take.
#include "RoadTestSupport.h"

#include "msg/MessageIds.h"
#include "update/PatchList.h"
#include "update/PatchLog.h"

#include <gtest/gtest.h>

namespace tarnvale::test {
namespace {

namespace fs = std::filesystem;

class FtpRoadTest : public RoadTest {
  protected:
    static std::string Bytes(std::size_t size, char seed) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(seed + static_cast<char>(i * 7 % 251));
        return bytes;
    }
    static void FileByFile(tools::PatchVersion& v) { v.packed = false; }
    // The F lines of the journal.
    static std::vector<std::string> Journalled() {
        std::vector<std::string> files;
        PatchLogReader reader;
        if (!reader.Open())
            return files;
        char kind = 0;
        std::string text;
        while (reader.Next(kind, text))
            if (kind == kLogFile)
                files.push_back(text);
        return files;
    }
};

TEST_F(FtpRoadTest, InstallsVersionsOfEveryFormInOrder) {
    const std::string big = Bytes(70'000, 'a');
    Publish("1.00.01", {{"a.txt", "plain one"}, {"data/maps/m.map", big}, {"config.ini", "x"}},
            FileByFile);
    Publish("1.00.02", {{"data/b.bmd", Bytes(9'000, 'b')}, {"c.txt", "packed c"}},
            [](tools::PatchVersion& v) {
                v.packed = false;
                v.compressed = true;
            });
    Publish(
        "1.00.03",
        {{"data/maps/m.map", "mirrored"}, {"sub/a.txt", "same name elsewhere"}, {"a.txt", "top a"}},
        [](tools::PatchVersion& v) {
            v.packed = false;
            v.mirror = true;
            v.compressed = true;
        });
    Publish("1.00.04", {{"data/d.txt", "from the archive"}},
            [](tools::PatchVersion& v) { v.removeFiles = {"c.txt"}; });
    UpdateEngine engine(launcher, update, window, Hooks());

    ASSERT_TRUE(RunFtp(engine)) << window.statusTexts.back();
    EXPECT_EQ(engine.Outcome(), RoadOutcome::Finished);
    EXPECT_EQ(ReadFile("data/maps/m.map"), "mirrored");
    EXPECT_EQ(ReadFile("data/b.bmd"), Bytes(9'000, 'b'));
    EXPECT_EQ(ReadFile("a.txt"), "top a");
    EXPECT_EQ(ReadFile("sub/a.txt"), "same name elsewhere");
    EXPECT_EQ(ReadFile("data/d.txt"), "from the archive");
    EXPECT_FALSE(fs::exists("c.txt")); // removed by the packed version
    EXPECT_EQ(ConfigVersion(), "1.00.04");
    // Nothing staged remains; the journal, the list and the version file are gone.
    EXPECT_FALSE(fs::exists("Temp/a.txt"));
    EXPECT_FALSE(fs::exists("Temp/data/b.bmd"));
    EXPECT_FALSE(fs::exists("Temp/data/b.bmd.QXC"));
    EXPECT_FALSE(fs::exists("patch.log"));
    EXPECT_FALSE(fs::exists("list.inf"));
    EXPECT_FALSE(fs::exists("version.wvd"));
    EXPECT_TRUE(Saw(msgid::kFtpUpdateStarts));
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kTransferDone));
    EXPECT_EQ(window.finishCount, 1);
    // The road sets the bar's upper end only when it passes a version over; here
    // the bar ends full.
    EXPECT_EQ(window.totalBar.GetPos(), window.totalBar.GetRange());
    EXPECT_TRUE(update.updateDone);
    EXPECT_TRUE(update.stopRequested);
    EXPECT_GT(window.pumpCount, 70'000 / 2048);
    EXPECT_FALSE(engine.Ftp().IsConnected());
}

TEST_F(FtpRoadTest, VersionsNotNewerAreSkippedAndShrinkTheTotal) {
    Publish("1.00.01", {{"one.txt", "1"}}, FileByFile);
    Publish("1.00.02", {{"two.txt", "2"}}, FileByFile);
    Publish("1.00.03", {{"three.txt", "3"}}, FileByFile);
    SetLocalVersion("1.00.02");
    window.totalBar.SetRange(3);
    UpdateEngine engine(launcher, update, window, Hooks());

    ASSERT_TRUE(RunFtp(engine));
    EXPECT_FALSE(fs::exists("one.txt"));
    EXPECT_FALSE(fs::exists("two.txt"));
    EXPECT_EQ(ReadFile("three.txt"), "3");
    EXPECT_EQ(window.totalBar.GetRange(), 1);
    EXPECT_EQ(window.totalBar.GetPos(), 1);
    EXPECT_EQ(ConfigVersion(), "1.00.03");
}

TEST_F(FtpRoadTest, EmptyVersionFileFinishesAtOnce) {
    WriteFile(OnServer("version.wvd"), "");
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine));
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kTransferDone));
    EXPECT_EQ(window.finishCount, 1);
    EXPECT_EQ(ConfigVersion(), "1.00.00");
}

TEST_F(FtpRoadTest, TestServerVersionIsPassedOverInNormalMode) {
    Publish("1.00.01", {{"t.txt", "test only"}}, [](tools::PatchVersion& v) {
        v.packed = false;
        v.testServer = true;
    });
    {
        UpdateEngine engine(launcher, update, window, Hooks());
        ASSERT_TRUE(RunFtp(engine));
        EXPECT_FALSE(fs::exists("t.txt"));
        EXPECT_EQ(ConfigVersion(), "1.00.00"); // config.ini keeps the old version
        EXPECT_EQ(update.localVersion, (ClientVersion{1, 0, 1})); // but memory moves on
    }
    // A later normal version is compared with the test-server version, and
    // installed.
    Publish("1.00.02", {{"n.txt", "normal"}}, FileByFile);
    SetLocalVersion("1.00.00");
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine));
    EXPECT_FALSE(fs::exists("t.txt"));
    EXPECT_EQ(ReadFile("n.txt"), "normal");
    EXPECT_EQ(ConfigVersion(), "1.00.02");
}

TEST_F(FtpRoadTest, TestServerVersionIsInstalledInTestMode) {
    Publish("1.00.01", {{"t.txt", "test only"}}, [](tools::PatchVersion& v) {
        v.packed = false;
        v.testServer = true;
    });
    launcher.launchMode = kLaunchTest;
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine));
    EXPECT_EQ(ReadFile("t.txt"), "test only");
    EXPECT_EQ(ConfigVersion("TestVersion"), "1.00.01");
    EXPECT_EQ(ConfigVersion(), "1.00.00"); // "Version" only records normal versions
}

// A window whose Close button is pressed while a given file is being fetched:
// the button sets stopRequested and closes the FTP session, as the launcher's does.
class ClosingWindow : public RecordingWindow {
  public:
    void ReportTransfer(unsigned long long done, unsigned long long total) override {
        m_pressNow = total == stopAtSize && done < total;
    }
    bool PumpMessage() override {
        RecordingWindow::PumpMessage();
        if (m_pressNow && engine) {
            m_pressNow = false;
            engine->CloseFtpSession();
            update->stopRequested = true;
            ++presses;
        }
        return false;
    }
    unsigned long long stopAtSize = 0;
    UpdateEngine* engine = nullptr;
    UpdateState* update = nullptr;
    int presses = 0;

  private:
    bool m_pressNow = false;
};

TEST_F(FtpRoadTest, AnInterruptedVersionResumesFromTheJournal) {
    const std::string a = Bytes(5'000, 'a'), b = Bytes(6'000, 'b'), c = Bytes(9'000, 'c');
    Publish("1.00.01", {{"a.bin", a}, {"b.bin", b}, {"c.bin", c}}, FileByFile);
    ClosingWindow closing;
    closing.stopAtSize = c.size();
    closing.update = &update;
    {
        UpdateEngine engine(launcher, update, closing, Hooks());
        closing.engine = &engine;
        EXPECT_FALSE(RunFtp(engine));
        closing.engine = nullptr;
    }
    EXPECT_EQ(closing.presses, 1);
    EXPECT_EQ(closing.statusTexts.back(), Text(msgid::kUpdateFailed));
    EXPECT_TRUE(update.stopRequested); // a second Close ends the launcher
    EXPECT_EQ(Journalled(), (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(ReadFile("Temp/a.bin"), a);
    EXPECT_FALSE(fs::exists("Temp/c.bin")); // the partial file is gone
    EXPECT_FALSE(fs::exists("a.bin"));
    EXPECT_FALSE(fs::exists("list.inf"));
    EXPECT_EQ(ConfigVersion(), "1.00.00");

    // The server's copy changes; the staged one is still used, which shows that
    // the journalled files are not fetched again.
    WriteFile(OnServer("1.00.01/a.bin"), Bytes(5'000, 'z'));
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine)) << window.statusTexts.back();
    EXPECT_EQ(ReadFile("a.bin"), a);
    EXPECT_EQ(ReadFile("b.bin"), b);
    EXPECT_EQ(ReadFile("c.bin"), c);
    EXPECT_FALSE(fs::exists("patch.log"));
    EXPECT_EQ(ConfigVersion(), "1.00.01");
}

// Files in place but the version not recorded would be fetched again at every
// start: the road fails instead of ending as if all were well.
TEST_F(FtpRoadTest, AVersionThatCannotBeRecordedFailsTheRoad) {
    Publish("1.00.01", {{"a.txt", "one"}}, FileByFile);
    Publish("1.00.02", {{"b.txt", "two"}}, FileByFile);
    fs::remove("config.ini");
    fs::create_directories("config.ini/in-the-way");
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_FALSE(RunFtp(engine));
    EXPECT_EQ(engine.Outcome(), RoadOutcome::Failed);
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
    EXPECT_EQ(ReadFile("a.txt"), "one");
    EXPECT_FALSE(fs::exists("b.txt")) << "no later version";
    EXPECT_EQ(window.finishCount, 0);
    EXPECT_FALSE(update.updateDone);
    ASSERT_EQ(window.failures.size(), 1u);
    EXPECT_EQ(window.failures[0].Message(), msgid::kUpdateFailed);
    EXPECT_NE(window.failures[0].Detail().find("config.ini: "), std::string::npos)
        << window.failures[0].Detail();
}

// What a launcher stopped at the end of its road left: the journal of the
// version it had just recorded, and the patch list. Nothing is due, and both go.
TEST_F(FtpRoadTest, LeftoversOfARecordedVersionGoEvenWhenNothingIsDue) {
    Publish("1.00.01", {{"a.txt", "one"}}, FileByFile);
    SetLocalVersion("1.00.01");
    WriteFile("patch.log", "V 1.0.1\nF a.txt\n");
    WriteFile("list.inf", "\"a.txt\"\n");
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine));
    EXPECT_FALSE(fs::exists("patch.log"));
    EXPECT_FALSE(fs::exists("list.inf"));
    EXPECT_FALSE(fs::exists("a.txt")) << "nothing was due";
}

TEST_F(FtpRoadTest, AJournalOfAnotherVersionStartsOver) {
    Publish("1.00.01", {{"a.bin", "fresh"}}, FileByFile);
    WriteFile("patch.log", "V 9.9.9\nF a.bin\n");
    WriteFile("Temp/a.bin", "stale");
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine));
    EXPECT_EQ(ReadFile("a.bin"), "fresh");
}

TEST_F(FtpRoadTest, MissingVersionDirectoryAndMissingFileFailWithTheirMessages) {
    WriteFile(OnServer("version.wvd"), "\"1.00.01\"\n");
    {
        UpdateEngine engine(launcher, update, window, Hooks());
        EXPECT_FALSE(RunFtp(engine));
        EXPECT_EQ(window.statusTexts.back(), Text(msgid::kCannotEnterVersionDir));
        EXPECT_EQ(engine.Outcome(), RoadOutcome::Failed);
        // The server's reply travels with the message.
        ASSERT_EQ(window.failures.size(), 1u);
        EXPECT_EQ(window.failures[0].Message(), msgid::kCannotEnterVersionDir);
        EXPECT_NE(window.failures[0].Detail().find("CWD 1.00.01"), std::string::npos);
        EXPECT_NE(window.failures[0].Detail().find("550"), std::string::npos)
            << window.failures[0].Detail();
    }
    fs::remove(OnServer("version.wvd"));
    Publish("1.00.01", {{"here.txt", "h"}, {"gone.txt", "g"}}, FileByFile);
    fs::remove(OnServer("1.00.01/gone.txt"));
    window.statusTexts.clear();
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_FALSE(RunFtp(engine));
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
    EXPECT_NE(window.failures.back().Detail().find("\"gone.txt\" is not listed in /"),
              std::string::npos)
        << window.failures.back().Detail();
    EXPECT_EQ(Journalled(), std::vector<std::string>{}); // gone.txt comes first
    EXPECT_FALSE(fs::exists("list.inf"));
    EXPECT_EQ(window.finishCount, 0);
    EXPECT_EQ(ConfigVersion(), "1.00.00");
}

TEST_F(FtpRoadTest, NoVersionFileOrBadLoginFails) {
    MessageBoxRecorder boxes;
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_FALSE(RunFtp(engine));
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kTransferFailed));
    EXPECT_TRUE(boxes.Boxes().empty());

    EXPECT_FALSE(
        engine.StartFtpUpdate("127.0.0.1", s_servers->FtpPort(), "nobody", "wrong", "version.wvd"));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(Text(msgid::kFtpConnectFailed) + "\n[Error Code : ", 0),
              0u);
    EXPECT_EQ(boxes.Boxes()[0].caption, Text(msgid::kFormattedCaption));
    EXPECT_FALSE(engine.Ftp().IsSessionOpen());
}

// A server that delivers less than it listed, or breaks off, fails the file: no
// endless loop, no short file staged or journalled.
TEST_F(FtpRoadTest, ShortAndBrokenTransfersFailTheFile) {
    for (const char* name : {"short-x.bin", "broken-x.bin"}) {
        SCOPED_TRACE(name);
        fs::remove_all(OnServer(""));
        fs::create_directories(OnServer(""));
        Publish("1.00.01", {{"a-ok.txt", "fine"}, {name, Bytes(20'000, 'q')}}, FileByFile);
        window.statusTexts.clear();
        UpdateEngine engine(launcher, update, window, Hooks());
        EXPECT_FALSE(RunFtp(engine));
        EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
        // The cause is the transfer's, with the file's whole remote path.
        ASSERT_FALSE(window.failures.empty());
        EXPECT_NE(window.failures.back().Detail().find(std::string("/1.00.01/") + name),
                  std::string::npos)
            << window.failures.back().Detail();
        EXPECT_FALSE(fs::exists(std::string("Temp/") + name));
        EXPECT_EQ(Journalled(), std::vector<std::string>{"a-ok.txt"});
        EXPECT_FALSE(fs::exists(name));
        fs::remove("patch.log");
    }
}

// A file whose transfer stalls fails at once with the road: it is not opened
// again a hundred times, each waiting out the stall.
TEST_F(FtpRoadTest, AStalledFileFailsTheRoadWithoutRetries) {
    ShortTransferLimits limits;
    Publish("1.00.01", {{"a-ok.txt", "fine"}, {"stall-x.bin", Bytes(20'000, 's')}}, FileByFile);
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_FALSE(RunFtp(engine));
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
    EXPECT_FALSE(Saw(msgid::kCannotOpenRemoteFile));
    ASSERT_EQ(window.failures.size(), 1u);
    EXPECT_EQ(window.failures[0].Message(), msgid::kUpdateFailed);
    EXPECT_NE(window.failures[0].Detail().find("stall-x.bin"), std::string::npos)
        << window.failures[0].Detail();
    EXPECT_FALSE(fs::exists("Temp/stall-x.bin"));
    EXPECT_EQ(Journalled(), std::vector<std::string>{"a-ok.txt"});
}

// A local file that cannot be created fails the file with message 137; it is not
// journalled, so the next attempt fetches it again.
TEST_F(FtpRoadTest, ALocalFileThatCannotBeCreatedIsNotJournalled) {
    Publish("1.00.01", {{"a.txt", "a"}, {"b.txt", "b"}}, FileByFile);
    fs::create_directories("Temp/b.txt/in-the-way");
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_FALSE(RunFtp(engine));
    EXPECT_TRUE(Saw(msgid::kCannotCreateLocalFile));
    EXPECT_EQ(Journalled(), std::vector<std::string>{"a.txt"});

    fs::remove_all("Temp/b.txt");
    UpdateEngine again(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(again));
    EXPECT_EQ(ReadFile("b.txt"), "b");
}

TEST_F(FtpRoadTest, ListNamesOutsideTheGameFolderFailTheVersion) {
    Publish("1.00.01", {{"a.txt", "a"}}, FileByFile);
    WriteFile(OnServer("1.00.01/list.inf"), "\"..\\escape.txt\"\n\"a.txt\"\n");
    WriteFile(OnServer("1.00.01/escape.txt"), "bad");
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_FALSE(RunFtp(engine));
    EXPECT_EQ(window.statusTexts.back(), Text(msgid::kUpdateFailed));
    EXPECT_FALSE(fs::exists("../escape.txt"));
    EXPECT_FALSE(fs::exists("Temp/escape.txt"));
    EXPECT_FALSE(fs::exists("a.txt"));
}

TEST_F(FtpRoadTest, ListingLeavesOutOverlongNamesAndPlainDirectories) {
    Publish("1.00.01", {{"a.txt", "a"}, {"data/b.txt", "b"}}, [](tools::PatchVersion& v) {
        v.packed = false;
        v.mirror = true;
    });
    WriteFile(OnServer("1.00.01/.long-name"), "long");
    UpdateEngine engine(launcher, update, window, Hooks());
    update.server = {};
    std::snprintf(update.server.serverAddress, sizeof update.server.serverAddress, "127.0.0.1");
    update.server.serverPort = s_servers->FtpPort();
    std::snprintf(update.server.accountName, sizeof update.server.accountName, "%s",
                  s_servers->User().c_str());
    std::snprintf(update.server.accountPassword, sizeof update.server.accountPassword, "%s",
                  s_servers->Password().c_str());
    ASSERT_TRUE(engine.OpenFtpSession());
    ASSERT_TRUE(engine.Ftp().SetRemoteDirectory("1.00.01"));
    ASSERT_TRUE(engine.RefreshRemoteListing());
    std::vector<std::string> names;
    for (const RemoteFile& file : engine.RemoteListing()) {
        EXPECT_LE(file.name.size(), 255u);
        names.push_back(file.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "list.inf"}));
    // A name is found without regard to letter case.
    EXPECT_TRUE(engine.FetchFileWithProgress("Temp\\A.txt", "A.TXT"));
    EXPECT_EQ(ReadFile("Temp/A.txt"), "a");
    EXPECT_FALSE(engine.FetchFileWithProgress("Temp\\x.txt", "x.txt"));
}

TEST_F(FtpRoadTest, AVersionThatReplacesTheLauncherHandsOverAfterItsConfig) {
#ifdef _WIN32
    // The file itself must travel under its code-page name, which the test's
    // own file handling cannot produce under Wine.
    GTEST_SKIP() << "file-by-file self-update runs natively only";
#endif
    Publish("1.00.01", {{LauncherFileName(), "new launcher"}, {"a.txt", "one"}}, FileByFile);
    Publish("1.00.02", {{"a.txt", "two"}}, FileByFile);
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine)) << testing::PrintToString(window.statusTexts);
    EXPECT_EQ(engine.Outcome(), RoadOutcome::HandedOver);
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(ReadFile("a.txt"), "one");
    EXPECT_EQ(ConfigVersion(), "1.00.01");
    EXPECT_FALSE(fs::exists("patch.log"));
    EXPECT_EQ(window.finishCount, 0);
}

TEST_F(FtpRoadTest, APackedVersionThatReplacesTheLauncherHandsOver) {
    Publish("1.00.01", {{"a.txt", "one"}});
    AppendToList("1.00.01", LauncherFileName());
    Publish("1.00.02", {{"a.txt", "two"}});
    UpdateEngine engine(launcher, update, window, Hooks());
    ASSERT_TRUE(RunFtp(engine));
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(ReadFile("a.txt"), "one");
    EXPECT_EQ(ConfigVersion(), "1.00.01");
}

} // namespace
} // namespace tarnvale::test
