#include "update/PatchLog.h"
#include "platform/Files.h"
#include "support/TestSupport.h"

#include <string>
#include <vector>

namespace tarnvale {
namespace {

using PatchLog = test::TempDirTest;

std::vector<std::pair<char, std::string>> ReadAll() {
    std::vector<std::pair<char, std::string>> records;
    PatchLogReader reader;
    EXPECT_TRUE(reader.Open());
    char kind = 0;
    std::string text;
    while (reader.Next(kind, text))
        records.emplace_back(kind, text);
    return records;
}

TEST_F(PatchLog, AppendsLinesThatReadBack) {
    EXPECT_TRUE(AppendPatchLog(kLogVersion, "1.2.7"));
    EXPECT_TRUE(AppendPatchLog(kLogFile, "Data\\Item.bmd"));
    EXPECT_TRUE(AppendPatchLog(kLogFile, "Launcher.exe"));
    const std::vector<std::pair<char, std::string>> expected = {
        {'V', "1.2.7"}, {'F', "Data\\Item.bmd"}, {'F', "Launcher.exe"}};
    EXPECT_EQ(ReadAll(), expected);

    EXPECT_TRUE(PatchLogHasFile("data\\ITEM.BMD"));
    EXPECT_FALSE(PatchLogHasFile("Data\\Item"));
    EXPECT_FALSE(PatchLogHasFile("1.2.7")) << "only F lines name files";
}

TEST_F(PatchLog, RefusesTextsItCouldNotReadBack) {
    EXPECT_FALSE(AppendPatchLog(kLogFile, "Data\\My File.bmd"));
    EXPECT_FALSE(AppendPatchLog(kLogFile, ""));
    EXPECT_FALSE(AppendPatchLog(kLogFile, "tab\there"));
    std::string contents;
    EXPECT_FALSE(platform::ReadWholeFile(kPatchLogName, contents)) << "nothing was written";
}

TEST_F(PatchLog, ReadsThePatternLikeScanf) {
    // CRLF line ends, blank lines and extra blanks between records all count as
    // the white space the pattern skips; a kind without a text ends the journal.
    test::WriteFile("patch.log", "V   1.2.7\r\n\r\nF a\\b.bmd   \n  F c.txt\nF");
    const std::vector<std::pair<char, std::string>> expected = {
        {'V', "1.2.7"}, {'F', "a\\b.bmd"}, {'F', "c.txt"}};
    EXPECT_EQ(ReadAll(), expected);
}

TEST_F(PatchLog, VersionComparison) {
    EXPECT_FALSE(PatchLogVersionDiffers(0x010207)) << "no journal gives false";
    EXPECT_FALSE(PatchLogHasFile("x")) << "no journal gives false";

    test::WriteFile("patch.log", "F a.bmd\n");
    EXPECT_FALSE(PatchLogVersionDiffers(0)) << "no V line reads as 0.0.0";
    EXPECT_TRUE(PatchLogVersionDiffers(0x010207));

    test::WriteFile("patch.log", "F a.bmd\nV 1.2.7\nV 1.2.8\n");
    EXPECT_FALSE(PatchLogVersionDiffers(0x010207)) << "the first V line counts";
    EXPECT_TRUE(PatchLogVersionDiffers(0x010208));
}

TEST(Names, CompareWithoutRegardToAsciiCase) {
    EXPECT_TRUE(NamesEqual("Config.INI", "config.ini"));
    EXPECT_FALSE(NamesEqual("config.ini", "config.ini "));
    EXPECT_FALSE(NamesEqual("\xb5\xc7", "\xb5\xe7")) << "bytes above 127 are not folded";
}

// The road reads the journal once per version and keeps it in step with what
// it appends; it must answer exactly as reading the file each time would.
TEST_F(PatchLog, StagingJournalAnswersAsTheFileWould) {
    StagingJournal journal;
    journal.Load();
    EXPECT_FALSE(journal.Exists());
    EXPECT_EQ(journal.Version(), 0);

    test::WriteFile("patch.log", "F early.bmd\nV 1.2.7\nV 1.2.8\nF Data\\Item.bmd\n");
    journal.Load();
    EXPECT_TRUE(journal.Exists());
    EXPECT_EQ(journal.Version(), 0x010207) << "the first V line counts";
    EXPECT_TRUE(journal.HasFile("data\\ITEM.BMD"));
    EXPECT_TRUE(journal.HasFile("EARLY.bmd"));
    EXPECT_FALSE(journal.HasFile("1.2.7"));

    EXPECT_TRUE(journal.Append(kLogFile, "New.bmd"));
    EXPECT_TRUE(journal.HasFile("new.BMD"));
    EXPECT_TRUE(PatchLogHasFile("new.BMD")) << "the file has the line too";
    EXPECT_FALSE(journal.Append(kLogFile, "with blank.bmd"));
    EXPECT_FALSE(journal.HasFile("with"));

    journal.Discard();
    EXPECT_FALSE(journal.Exists());
    EXPECT_FALSE(platform::PathExists(kPatchLogName));
    EXPECT_TRUE(journal.Append(kLogVersion, "1.2.9"));
    EXPECT_EQ(journal.Version(), 0x010209);
}

// A line cut short (the disk filled while it was written) would read back as
// another name, and the next line appended would run into it. The journal
// drops it, so the file is fetched again instead of never being copied.
TEST_F(PatchLog, ALineCutShortIsDropped) {
    test::WriteFile("patch.log", "V 1.2.7\nF a.bmd\nF Data\\it");
    StagingJournal journal;
    journal.Load();
    EXPECT_TRUE(journal.HasFile("a.bmd"));
    EXPECT_FALSE(journal.HasFile("Data\\it"));
    EXPECT_TRUE(journal.Append(kLogFile, "Data\\item.bmd"));
    const std::vector<std::pair<char, std::string>> expected = {
        {'V', "1.2.7"}, {'F', "a.bmd"}, {'F', "Data\\item.bmd"}};
    EXPECT_EQ(ReadAll(), expected);
}

} // namespace
} // namespace tarnvale
