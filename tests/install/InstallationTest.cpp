#include "update/Installation.h"
#include "InstallFixtures.h"
#include "platform/FileOps.h"
#include "platform/MessageBox.h"
#include "tarnvale/settings.h"
#include "update/PatchLog.h"
#include "update/StagingLeftovers.h"
#include "update/UpdateState.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <set>

namespace fs = std::filesystem;

namespace tarnvale {
namespace {

using test::Put;
using test::Slurp;

const std::string kExe = std::string(settings::kLauncherName) + ".exe";
const std::string kWaitingExe = std::string(settings::kLauncherName) + "._xe";

// Every file and folder below `root`, counted without reading names back (the
// names are bytes of the system's code page, which need not survive a
// conversion to wide characters).
size_t CountTree(const fs::path& root) {
    size_t count = 0;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it)
        ++count;
    return count;
}

bool IsReadOnly(const std::string& path) {
    std::uint32_t attributes = 0;
    return platform::ReadAttributes(path, attributes) && (attributes & platform::kAttrReadOnly);
}

// The game folder is "game" inside the test's folder, so that anything an
// archive writes outside the game folder lands where the test can see it.
class Installation : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directories(Dir() / "game" / "Temp");
        fs::current_path(Dir() / "game");
    }
    void TearDown() override {
        // Read-only files would keep the folder from being removed.
        for (const auto& entry : fs::recursive_directory_iterator(Dir()))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        TempDirTest::TearDown();
    }

    StepResult Extract(const std::string& fixture) {
        Put("Temp\\up_list.zip", Slurp(test::Fixture(fixture)));
        return Shown(ExtractUpdateArchive("Temp\\up_list.zip", test::GameFolder().c_str()));
    }
    // What the road does with a failure: its box is shown, and one that closes
    // the window asks for that.
    StepResult Shown(StepResult result) {
        if (result.Box()) {
            ShowMessageBox(*result.Box());
            closeRequests += result.Box()->closesWindow ? 1 : 0;
        }
        return result;
    }

    // Compares the game folder with what unzip extracted, support files under
    // their other names and "config.ini" in place.
    void ExpectSameAsUnzip(const std::string& name) {
        const auto reference = test::LoadReference(name);
        size_t expectedCount = 0;
        for (const test::ReferenceEntry& entry : reference) {
            ++expectedCount;
            std::string path = entry.path;
            if (path == kExe)
                path = kWaitingExe;
            else if (path == "veymsg.dll")
                path = "veymsg._ll";
            else if (path == "qx_zp.dll")
                path = "qx_zp._ll";
            else if (path == "message.wtf")
                path = "message._tf";
            if (!entry.isFile) {
                EXPECT_TRUE(platform::IsDirectory(path)) << path;
                continue;
            }
            EXPECT_TRUE(Slurp(path) == Slurp(test::Fixture("ref-" + name + "\\" + entry.flatName)))
                << path;
            EXPECT_EQ(IsReadOnly(path), entry.readOnly) << path;
        }
        // The reference has no "Temp"; the game folder has nothing else.
        EXPECT_EQ(CountTree(Dir() / "game"), expectedCount + 1);
        EXPECT_FALSE(platform::PathExists("config._ni"));
        EXPECT_FALSE(platform::PathExists("Temp\\up_list.zip"));
        EXPECT_EQ(CountTree(Dir()), CountTree(Dir() / "game") + 1) << "nothing outside the game";
    }

    test::MessageBoxRecorder boxes;
    int closeRequests = 0;
};

TEST_F(Installation, ArchivesExtractAsUnzipDoes) {
    for (const char* name : {"infozip", "python"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Extract(std::string(name) + ".zip"));
        ExpectSameAsUnzip(name);
        // Again, over the files just written, read-only ones included.
        ASSERT_TRUE(Extract(std::string(name) + ".zip"));
        ExpectSameAsUnzip(name);
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(closeRequests, 0);
        for (const auto& entry : fs::directory_iterator(Dir() / "game")) {
            if (entry.path().filename() != "Temp") {
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
                fs::remove_all(entry.path());
            }
        }
    }
}

TEST_F(Installation, EntriesKeepTheirRecordedTimes) {
    ASSERT_TRUE(Extract("python.zip"));
    // Readme.txt was stored as 2011-07-14 12:30:42 local time.
    std::tm local{};
    local.tm_year = 2011 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 14;
    local.tm_hour = 12;
    local.tm_min = 30;
    local.tm_sec = 42;
    local.tm_isdst = -1;
    const auto written = fs::last_write_time("Readme.txt");
    const auto expected = std::chrono::system_clock::from_time_t(std::mktime(&local));
    const auto writtenSystem = fs::file_time_type::clock::to_sys(written);
    EXPECT_LE(std::chrono::abs(writtenSystem - expected), std::chrono::seconds(2));
}

TEST_F(Installation, HostileNamesAreRefusedBeforeAnythingIsWritten) {
    Put("config.ini", "[LOGIN]\r\nVersion=1.00.00\r\n");
    int archives = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(test::FixtureDir()) / "hostile")) {
        SCOPED_TRACE(entry.path().filename().string());
        ++archives;
        Put("Temp\\up_list.zip", Slurp(entry.path().string()));
        EXPECT_FALSE(Shown(ExtractUpdateArchive("Temp\\up_list.zip", test::GameFolder().c_str())));
        EXPECT_FALSE(platform::PathExists("good.txt")) << "refused before the first file";
        EXPECT_FALSE(platform::PathExists("config._ni"));
        EXPECT_EQ(Slurp("config.ini"), "[LOGIN]\r\nVersion=1.00.00\r\n");
        EXPECT_TRUE(platform::PathExists("Temp\\up_list.zip")) << "the archive stays";
        EXPECT_EQ(CountTree(Dir()), 4u) << "game, Temp, the archive, config.ini";
    }
    EXPECT_EQ(archives, 15);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(closeRequests, 0);
}

TEST_F(Installation, DamagedArchivesFailAndLeaveNoDamagedFile) {
    for (const char* name : {"crc.zip", "inflate.zip", "short.zip"}) {
        SCOPED_TRACE(name);
        Put("bad.txt", "installed before");
        EXPECT_FALSE(Extract(name));
        EXPECT_EQ(Slurp("bad.txt"), "installed before");
        EXPECT_EQ(Slurp("first.txt"), "first entry\n") << "entries before it are written";
        EXPECT_EQ(CountTree(Dir() / "game"), 4u) << "no staging file is left behind";
        platform::RemoveFile("first.txt");
    }
    // These are refused before anything is written.
    for (const char* name : {"method.zip", "mixed-method.zip", "truncated.zip", "garbage.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Extract(name));
        EXPECT_EQ(CountTree(Dir() / "game"), 3u) << "Temp, the archive, bad.txt";
    }
    EXPECT_FALSE(ExtractUpdateArchive("Temp\\missing.zip", test::GameFolder().c_str()));
    EXPECT_TRUE(boxes.Boxes().empty()) << "damage is reported by the road";
    EXPECT_EQ(closeRequests, 0);
}

TEST_F(Installation, MissingConfigFailsAfterTheEntries) {
    EXPECT_FALSE(Extract("empty.zip"));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "\"config.ini\" error");
    EXPECT_EQ(boxes.Boxes()[0].type, platform::kMbIconError);
    EXPECT_EQ(closeRequests, 1);
    EXPECT_EQ(CountTree(Dir() / "game"), 1u) << "Temp; the archive went after its entries";

    // A "config._ni" left over from an earlier failure does not stand in.
    Put("config._ni", "[LOGIN]\r\nVersion=8.00.00\r\n");
    EXPECT_FALSE(Extract("noconfig.zip"));
    EXPECT_EQ(Slurp("first.txt"), "first entry\n");
    EXPECT_EQ(Slurp("Data\\x.bmd"), std::string(100, 'x'));
    EXPECT_FALSE(platform::PathExists("config.ini"));
    EXPECT_EQ(closeRequests, 2);
}

TEST_F(Installation, AFileThatCannotBeCreatedAsksTheWindowToClose) {
    fs::create_directories(Dir() / "game" / "first.txt" / "in-the-way");
    EXPECT_FALSE(Extract("noconfig.zip"));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    // "%s파일을 열수가 없습니다" in code page 949.
    EXPECT_EQ(boxes.Boxes()[0].text, test::GameFolder() + "first.txt" +
                                         "\xc6\xc4\xc0\xcf\xc0\xbb \xbf\xad\xbc\xf6\xb0\xa1 "
                                         "\xbe\xf8\xbd\xc0\xb4\xcf\xb4\xd9");
    EXPECT_EQ(closeRequests, 1);
}

TEST(SupportFileNames, ArchivesRenameTopLevelEntriesOnly) {
    EXPECT_EQ(ArchiveWriteName(kExe), kWaitingExe);
    EXPECT_EQ(ArchiveWriteName("VEYMSG.DLL"), "veymsg._ll");
    EXPECT_EQ(ArchiveWriteName("qx_zp.dll"), "qx_zp._ll");
    EXPECT_EQ(ArchiveWriteName("Message.wtf"), "message._tf");
    EXPECT_EQ(ArchiveWriteName("config.ini"), "config._ni");
    EXPECT_EQ(ArchiveWriteName("Bin\\" + kExe), "Bin\\" + kExe);
    EXPECT_EQ(ArchiveWriteName("Data\\config.ini"), "Data\\config.ini");

    EXPECT_EQ(CopyWriteName("Data\\veymsg.dll").destination, "veymsg._ll");
    EXPECT_EQ(CopyWriteName("Data\\message.wtf").destination, "message._tf");
    EXPECT_EQ(CopyWriteName("config.ini").destination, "config.ini");
    EXPECT_EQ(CopyWriteName("Data\\Item.bmd").destination, "Data\\Item.bmd");
    EXPECT_TRUE(CopyWriteName("Bin\\" + kExe).selfUpdate);
    EXPECT_EQ(CopyWriteName("Bin\\" + kExe).destination, kWaitingExe);
    EXPECT_FALSE(CopyWriteName("Data\\Item.bmd").selfUpdate);
}

TEST_F(Installation, CopyFromTempPutsStagedFilesInPlace) {
    Put("Temp\\Data\\Item.bmd", "item");
    Put("Temp\\Data\\veymsg.dll", "library");
    Put("Temp\\" + kExe, "launcher");
    Put("Temp\\config.ini", "[LOGIN]\r\nVersion=1.02.07\r\n");
    fs::create_directories("Data");
    Put("Data\\Item.bmd", "old item");
    platform::WriteAttributes("Data\\Item.bmd", platform::kAttrReadOnly);
    AppendPatchLog(kLogVersion, "1.2.7");
    for (const char* f : {"Data\\Item.bmd", "Data\\veymsg.dll", "config.ini"})
        AppendPatchLog(kLogFile, f);
    AppendPatchLog(kLogFile, kExe.c_str());

    UpdateState update;
    test::RecordingWindow window;
    ASSERT_TRUE(CopyFromTemp(update, window));
    EXPECT_EQ(Slurp("Data\\Item.bmd"), "item") << "a read-only file is replaced";
    EXPECT_EQ(Slurp("veymsg._ll"), "library");
    EXPECT_FALSE(platform::PathExists("Data\\veymsg.dll"));
    EXPECT_EQ(Slurp(kWaitingExe), "launcher");
    EXPECT_EQ(Slurp("config.ini"), "[LOGIN]\r\nVersion=1.02.07\r\n");
    EXPECT_TRUE(update.selfUpdatePending);
    EXPECT_EQ(window.pumpCount, 4);
    EXPECT_TRUE(boxes.Boxes().empty());

    // A staged file that went missing stops the copy with its path and error.
    AppendPatchLog(kLogFile, "Data\\Gone.bmd");
    EXPECT_FALSE(Shown(CopyFromTemp(update, window)));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const std::string prefix =
        "Patch Install Error, File : " + platform::CurrentDirectory() + "\\Temp\\Data\\Gone.bmd (";
    EXPECT_EQ(boxes.Boxes()[0].text.substr(0, prefix.size()), prefix);
    EXPECT_NE(boxes.Boxes()[0].text, prefix + "0)");

    platform::RemoveFile(kPatchLogName);
    EXPECT_FALSE(CopyFromTemp(update, window)) << "no journal";
}

TEST_F(Installation, JournalNamesOutsideTheGameFolderAreNeverTouched) {
    Put(Dir().string() + "\\victim.txt", "keep me");
    Put("Temp\\ok.txt", "ok");
    for (const char* line : {"..\\victim.txt", "..\\..\\victim.txt", "C:\\victim.txt"}) {
        SCOPED_TRACE(line);
        platform::RemoveFile(kPatchLogName);
        test::WriteFile("patch.log", std::string("V 1.0.0\nF ") + line + "\nF ok.txt\n");
        UpdateState update;
        test::RecordingWindow window;
        EXPECT_FALSE(CopyFromTemp(update, window));
        EXPECT_FALSE(platform::PathExists("ok.txt"));
        EXPECT_TRUE(DeleteTempFiles(window));
        EXPECT_TRUE(platform::PathExists("Temp\\ok.txt"));
        EXPECT_TRUE(platform::PathExists(kPatchLogName)) << "the journal is kept";
        EXPECT_EQ(Slurp(Dir().string() + "\\victim.txt"), "keep me");
    }
}

TEST_F(Installation, DeleteTempFilesClearsTheJournal) {
    test::RecordingWindow window;
    EXPECT_FALSE(DeleteTempFiles(window)) << "no journal";

    Put("Temp\\a.bmd", "a");
    Put("Temp\\Data\\b.bmd", "b");
    Put("Temp\\c.bmd", "c");
    test::WriteFile("patch.log", "V 1.2.7\nF a.bmd\nF Data\\b.bmd\nF missing.bmd\nF c.bmd\n");
    EXPECT_TRUE(DeleteTempFiles(window)) << "a file that cannot be deleted is not a failure";
    EXPECT_FALSE(platform::PathExists("Temp\\a.bmd"));
    EXPECT_FALSE(platform::PathExists("Temp\\Data\\b.bmd"));
    EXPECT_FALSE(platform::PathExists("Temp\\c.bmd")) << "it goes on past a missing file";
    EXPECT_FALSE(platform::PathExists(kPatchLogName));
}

// The journal goes before the staged files: whatever is deleted afterwards, no
// journal is left that claims files that are gone (a launcher stopped at that
// point would otherwise make every later start fail to copy them).
TEST_F(Installation, DeleteTempFilesRetiresTheJournalFirst) {
    test::RecordingWindow window;
    Put("Temp\\a.bmd", "a");
    fs::create_directories(Dir() / "game" / "Temp" / "busy.bmd" / "inside");
    test::WriteFile("patch.log", "V 1.2.7\nF busy.bmd\nF a.bmd\n");
    EXPECT_TRUE(DeleteTempFiles(window));
    EXPECT_FALSE(platform::PathExists(kPatchLogName));
    EXPECT_FALSE(platform::PathExists("Temp\\a.bmd"));
    EXPECT_TRUE(platform::IsDirectory("Temp\\busy.bmd")) << "left for the clean-up at game start";
}

// A copy put in place twice (a launcher stopped among the copies runs them all
// again) leaves the file as it was and no staging name behind; a read-only
// target is refused as the system's copy refuses it.
TEST_F(Installation, AStagedCopyPutInPlaceTwiceLeavesNothingBehind) {
    Put("Temp\\Data\\a.bmd", "new bytes");
    Put("Data\\a.bmd", "old bytes");
    ASSERT_TRUE(platform::PlaceStagedCopy("Temp\\Data\\a.bmd", "Data\\a.bmd"));
    ASSERT_TRUE(platform::PlaceStagedCopy("Temp\\Data\\a.bmd", "Data\\a.bmd"));
    EXPECT_EQ(Slurp("Data\\a.bmd"), "new bytes");
    EXPECT_TRUE(platform::RemoveFile("Temp\\Data\\a.bmd"));
    EXPECT_EQ(Slurp("Data\\a.bmd"), "new bytes") << "the staged copy goes, the file stays";
    EXPECT_EQ(SweepStagingLeftovers("."), 0);

    Put("Temp\\b.bmd", "new");
    Put("b.bmd", "kept");
    platform::WriteAttributes("b.bmd", platform::kAttrReadOnly);
    EXPECT_FALSE(platform::PlaceStagedCopy("Temp\\b.bmd", "b.bmd"));
    EXPECT_EQ(Slurp("b.bmd"), "kept");
}

TEST_F(Installation, StagingLeftoversAreSweptByTheirFormOnly) {
    EXPECT_TRUE(platform::IsStagingName(platform::StagingName("Item.bmd", 4242, 7)));
    const char* stale[] = {"a.bmd.~tv123-0", "Data\\Sub\\b.txt.~tv9-12",
                           "Temp\\up_list.zip.~tv77-3"};
    const char* kept[] = {"c.~tv12-",     "d.~tvx-1", ".~tv1-2",    "e~tv1-2",
                          "f.~tv1-2.bak", "g.~tv-1",  "Data\\h.bmd"};
    for (const char* name : stale)
        Put(name, "half written");
    for (const char* name : kept)
        Put(name, "mine");
    fs::create_directories(Dir() / "game" / "folder.~tv1-0");
    platform::WriteAttributes("a.bmd.~tv123-0", platform::kAttrReadOnly);

    EXPECT_EQ(SweepStagingLeftovers("."), 3);
    for (const char* name : stale)
        EXPECT_FALSE(platform::PathExists(name)) << name;
    for (const char* name : kept)
        EXPECT_EQ(Slurp(name), "mine") << name;
    EXPECT_TRUE(platform::IsDirectory("folder.~tv1-0")) << "folders are not staging files";
}

TEST_F(Installation, CleanTempFolderRemovesEverythingInIt) {
    Put("Temp\\a.bmd", "a");
    Put("Temp\\Data\\Sub\\b.bmd", "b");
    platform::WriteAttributes("Temp\\Data\\Sub\\b.bmd", platform::kAttrReadOnly);
    Put(Dir().string() + "\\outside\\keep.txt", "keep");
#ifndef _WIN32
    // A link inside "Temp" goes, what it points to stays.
    fs::create_directory_symlink(Dir() / "outside", "Temp/link");
#endif
    CleanTempFolder();
    EXPECT_FALSE(platform::PathExists("Temp"));
    EXPECT_EQ(Slurp(Dir().string() + "\\outside\\keep.txt"), "keep");
    CleanTempFolder(); // no "Temp": nothing to do, nothing reported
}

TEST_F(Installation, WholesaleDeleteTakesTopLevelDataFilesOnly) {
    EXPECT_FALSE(AnyProbeFilePresent());
    Put("ring.OZJ", "probe");
    EXPECT_TRUE(AnyProbeFilePresent()) << "one probe file is enough";

    const char* doomed[] = {"a.dat", "b.bmd", "c.txt", "d.OZJ", "e.ozt",
                            "f.WAV", "g.att", "h.obj", "i.map", "j.x.Map"};
    const char* kept[] = {"config.ini", "game.exe", "k.data", "l.bmdx", "dat", "m.ini"};
    for (const char* name : doomed)
        Put(name, "x");
    for (const char* name : kept)
        Put(name, "x");
    Put("Data\\deep.bmd", "x");
    fs::create_directories("Folder.dat");
    platform::WriteAttributes("a.dat", platform::kAttrReadOnly);

    EXPECT_EQ(RunWholesaleDelete(), 11) << "the ten above and ring.OZJ";
    for (const char* name : doomed)
        EXPECT_FALSE(platform::PathExists(name)) << name;
    for (const char* name : kept)
        EXPECT_TRUE(platform::PathExists(name)) << name;
    EXPECT_TRUE(platform::PathExists("Data\\deep.bmd"));
    EXPECT_TRUE(platform::IsDirectory("Folder.dat"));
    EXPECT_FALSE(AnyProbeFilePresent());
}

} // namespace
} // namespace tarnvale
