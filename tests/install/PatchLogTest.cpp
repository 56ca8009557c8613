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

} // namespace
} // namespace tarnvale
