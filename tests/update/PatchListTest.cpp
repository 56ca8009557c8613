#include "update/PatchList.h"

#include "msg/MessageIds.h"
#include "state/LauncherState.h"
#include "support/TestSupport.h"
#include "update/UpdateState.h"

#include <filesystem>
#include <utility>
#include <vector>

namespace tarnvale {
namespace {

using Token = std::pair<TokenKind, std::string>;
using Tokens = std::vector<Token>;

// Every token of the input up to and including the first End.
Tokens Tokenize(std::string bytes) {
    PatchListReader reader(std::move(bytes));
    Tokens tokens;
    for (int guard = 0; guard < 1000; ++guard) {
        const TokenKind kind = reader.NextToken();
        tokens.emplace_back(kind, reader.Text());
        if (kind == TokenKind::End)
            break;
    }
    return tokens;
}

constexpr TokenKind kName = TokenKind::Name;
constexpr TokenKind kNumber = TokenKind::Number;
constexpr TokenKind kEnd = TokenKind::End;
constexpr TokenKind kOther = TokenKind::Other;

TEST(PatchListReader, EveryTokenKindWithItsCode) {
    EXPECT_EQ(Tokenize("\"a b\" #Key# , ; { } 12 @ name ! $ ( = \\ |"),
              (Tokens{{kName, "a b"},
                      {TokenKind::Keyword, "Key"},
                      {TokenKind::Comma, ""},
                      {TokenKind::Semicolon, ""},
                      {TokenKind::OpenBrace, ""},
                      {TokenKind::CloseBrace, ""},
                      {kNumber, ""},
                      {TokenKind::DeleteMark, ""},
                      {kName, "name"},
                      {kOther, ""},
                      {kOther, ""},
                      {kOther, ""},
                      {kOther, ""},
                      {kOther, ""},
                      {kOther, ""},
                      {kEnd, ""}}));
    EXPECT_EQ(static_cast<int>(TokenKind::Keyword), 35);
    EXPECT_EQ(static_cast<int>(TokenKind::DeleteMark), 60);
    EXPECT_EQ(static_cast<int>(TokenKind::Other), 61);
    EXPECT_EQ(static_cast<int>(TokenKind::OpenBrace), 123);
    EXPECT_EQ(static_cast<int>(TokenKind::CloseBrace), 125);
}

TEST(PatchListReader, CommentsAndSlashes) {
    EXPECT_EQ(Tokenize("a // comment \"x\"\nb"), (Tokens{{kName, "a"}, {kName, "b"}, {kEnd, ""}}));
    // A last line that is a comment without a line break ends the input normally.
    EXPECT_EQ(Tokenize("a\n// last"), (Tokens{{kName, "a"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("a//b"), (Tokens{{kName, "a"}, {kEnd, ""}}));
    // A lone "/" is dropped and the character after it read as usual.
    EXPECT_EQ(Tokenize("a/b"), (Tokens{{kName, "a"}, {kName, "b"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("/\"q\"/"), (Tokens{{kName, "q"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("/ /#k#"), (Tokens{{TokenKind::Keyword, "k"}, {kEnd, ""}}));
}

TEST(PatchListReader, NumbersSwallowTheCharacterAfterThem) {
    // The quote after the number goes with it: the name that follows reads bare,
    // and its closing quote opens a quoted name running to the next quote.
    EXPECT_EQ(
        Tokenize("1\"abc\" \"def\""),
        (Tokens{
            {kNumber, ""}, {kName, "abc"}, {kName, " "}, {kName, "def"}, {kName, ""}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("12ab cd"),
              (Tokens{{kNumber, ""}, {kName, "b"}, {kName, "cd"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("-.-9.,x"), (Tokens{{kNumber, ""}, {kName, "x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("."), (Tokens{{kNumber, ""}, {kEnd, ""}}));
    // A bare name stops at "-", which starts a number.
    EXPECT_EQ(Tokenize("Item-1"), (Tokens{{kName, "Item"}, {kNumber, ""}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("Item-1x y"),
              (Tokens{{kName, "Item"}, {kNumber, ""}, {kName, "y"}, {kEnd, ""}}));
}

TEST(PatchListReader, BareNamesAndTheBytesAroundThem) {
    EXPECT_EQ(Tokenize("a1._b.c,d"),
              (Tokens{{kName, "a1._b.c"}, {TokenKind::Comma, ""}, {kName, "d"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("_x"), (Tokens{{kOther, ""}, {kName, "x"}, {kEnd, ""}}));
    // Bytes above 127 are no letters outside quotes; inside they are kept as they are.
    EXPECT_EQ(Tokenize("\xb5\xc7 \"\xb5\xc7 \\x\""),
              (Tokens{{kOther, ""}, {kOther, ""}, {kName, "\xb5\xc7 \\x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize(" \t\r\n\v\f@"), (Tokens{{TokenKind::DeleteMark, ""}, {kEnd, ""}}));
}

TEST(PatchListReader, EndOfInput) {
    EXPECT_EQ(Tokenize(""), (Tokens{{kEnd, ""}}));
    // Unterminated quoted names and keywords end with what was read.
    EXPECT_EQ(Tokenize("\"open"), (Tokens{{kName, "open"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("#COMP"), (Tokens{{TokenKind::Keyword, "COMP"}, {kEnd, ""}}));
    // Byte 255 ends the input for good, wherever it stands.
    EXPECT_EQ(Tokenize("\"ab\xff"
                       "cd\" x"),
              (Tokens{{kName, "ab"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("abc\xff"
                       "def"),
              (Tokens{{kName, "abc"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("1\xff"
                       "a"),
              (Tokens{{kNumber, ""}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("/\xff"
                       "a"),
              (Tokens{{kEnd, ""}}));
    PatchListReader reader("x");
    EXPECT_EQ(reader.NextToken(), kName);
    EXPECT_EQ(reader.NextToken(), kEnd);
    EXPECT_EQ(reader.NextToken(), kEnd) << "End repeats";
}

TEST(PatchListReader, LineEndsReadAsInTextMode) {
    EXPECT_EQ(Tokenize("\"a\r\nb\"\r\nc\rd"),
              (Tokens{{kName, "a\nb"}, {kName, "c"}, {kName, "d"}, {kEnd, ""}}));
    // A bare name put back before "\r\n" leaves the pair whole.
    EXPECT_EQ(Tokenize("a\r\n\"b\""), (Tokens{{kName, "a"}, {kName, "b"}, {kEnd, ""}}));
}

TEST(PatchListReader, TokensBeyondTheLimitsAreRejectedAndSkippedWhole) {
    const std::string name103(kMaxTokenText, 'n');
    const std::string name104(kMaxTokenText + 1, 'n');
    EXPECT_EQ(Tokenize("\"" + name103 + "\" x"),
              (Tokens{{kName, name103}, {kName, "x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("\"" + name104 + "\" x"),
              (Tokens{{TokenKind::TooLong, ""}, {kName, "x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize(name103 + " x"), (Tokens{{kName, name103}, {kName, "x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize(name104 + "-x"),
              (Tokens{{TokenKind::TooLong, ""}, {kNumber, ""}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize("#" + name104 + "# x"),
              (Tokens{{TokenKind::TooLong, ""}, {kName, "x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize(std::string(kMaxNumberLength, '7') + " x"),
              (Tokens{{kNumber, ""}, {kName, "x"}, {kEnd, ""}}));
    EXPECT_EQ(Tokenize(std::string(kMaxNumberLength + 1, '7') + " x"),
              (Tokens{{TokenKind::TooLong, ""}, {kName, "x"}, {kEnd, ""}}));
    // A very long one keeps no more than the limit in memory.
    EXPECT_EQ(Tokenize("\"" + std::string(1 << 20, 'z') + "\"").front().first, TokenKind::TooLong);
}

TEST(PatchListReader, KeywordsMatchWithoutRegardToCaseAnywhere) {
    PatchListReader lower("\"a.bmd\" #compressed# \"b.bmd\"");
    EXPECT_TRUE(ListHasKeyword(lower, "COMPRESSED"));
    PatchListReader late("\"" + std::string(200, 'x') + "\" 1 \"Data\" #PackingVersion#");
    EXPECT_TRUE(ListHasKeyword(late, "PACKINGVERSION")) << "an overlong name does not hide it";
    PatchListReader absent("\"TEST_SERVER\" TEST_SERVER #TEST_SERVERX# # TEST_SERVER#");
    EXPECT_FALSE(ListHasKeyword(absent, "TEST_SERVER"));
    PatchListReader unterminated("#TEST_SERVER");
    EXPECT_TRUE(ListHasKeyword(unterminated, "TEST_SERVER"));
    const char zero[] = "#COMPRESSED\0x#";
    PatchListReader cut(std::string(zero, sizeof zero - 1));
    EXPECT_TRUE(ListHasKeyword(cut, "COMPRESSED")) << "compared up to the zero byte";
    PatchListReader empty("");
    EXPECT_FALSE(ListHasKeyword(empty, "COMPRESSED"));
}

class ListFileTest : public test::TempDirTest {
  protected:
    LauncherState launcher;
    test::RecordingWindow window;
};

TEST_F(ListFileTest, ReadListFlagOpensListInfAnewEachTime) {
    test::WriteFile("list.inf", "#Test_Server#\r\n\"a\"\r\n#NEWTOOLVERSION#\r\n");
    EXPECT_EQ(ReadListFlag(kFlagTestServer, launcher, window), 1);
    EXPECT_EQ(ReadListFlag(kFlagCompressed, launcher, window), 0);
    EXPECT_EQ(ReadListFlag(kFlagNewToolVersion, launcher, window), 1);
    EXPECT_EQ(ReadListFlag(kFlagPackingVersion, launcher, window), 0);
    EXPECT_TRUE(window.statusTexts.empty());
}

TEST_F(ListFileTest, MissingListReadsAsNoFlagWithMessage113) {
    EXPECT_EQ(ReadListFlag(kFlagCompressed, launcher, window), 0);
    ASSERT_EQ(window.statusTexts.size(), 1u);
    EXPECT_EQ(window.statusTexts[0], launcher.Text(msgid::kCannotOpenListFile));
}

std::vector<FileEntry> ReadFileByFile(std::string list) {
    PatchListReader reader(std::move(list));
    FileByFileReading reading(reader);
    std::vector<FileEntry> entries;
    for (int guard = 0; guard < 100; ++guard) {
        entries.push_back(reading.Next());
        const FileEntry::Kind kind = entries.back().kind;
        if (kind == FileEntry::Kind::End || kind == FileEntry::Kind::Rejected)
            break;
    }
    return entries;
}

TEST(FileByFileReading, FilesFoldersAndIgnoredTokens) {
    using K = FileEntry::Kind;
    const auto entries = ReadFileByFile("#COMPRESSED# \"a.bmd\"\n"
                                        "1 \"Data\"\n"
                                        "\"b b.bmd\" @ \"c.bmd\"\n"
                                        "2 \"Data\\Sub\" d.bmd\n"
                                        "3 , \"e\"");
    ASSERT_EQ(entries.size(), 11u);
    EXPECT_EQ(entries[0].kind, K::Ignored);
    EXPECT_EQ(entries[1].kind, K::File);
    EXPECT_EQ(entries[1].name, "a.bmd");
    EXPECT_EQ(entries[1].relativePath, "a.bmd");
    EXPECT_EQ(entries[1].localPath, "Temp\\a.bmd");
    EXPECT_EQ(entries[2].kind, K::Folder);
    EXPECT_EQ(entries[2].folder, "Data");
    EXPECT_EQ(entries[3].relativePath, "Data\\b b.bmd");
    EXPECT_EQ(entries[3].localPath, "Temp\\Data\\b b.bmd");
    EXPECT_EQ(entries[4].kind, K::Ignored) << "the delete mark has no meaning here";
    EXPECT_EQ(entries[5].kind, K::File) << "so the name after it is a file";
    EXPECT_EQ(entries[5].relativePath, "Data\\c.bmd");
    EXPECT_EQ(entries[6].folder, "Data\\Sub");
    EXPECT_EQ(entries[7].localPath, "Temp\\Data\\Sub\\d.bmd");
    EXPECT_EQ(entries[8].kind, K::Folder);
    EXPECT_EQ(entries[8].folder, "") << "a token without text brings back the top level";
    EXPECT_EQ(entries[9].localPath, "Temp\\e");
    EXPECT_EQ(entries[10].kind, K::End);
}

TEST(FileByFileReading, EndsAndRejections) {
    using K = FileEntry::Kind;
    EXPECT_EQ(ReadFileByFile("").back().kind, K::End);
    EXPECT_EQ(ReadFileByFile("\"a\" 1").back().kind, K::End) << "a folder entry cut short";
    EXPECT_EQ(ReadFileByFile("\"..\\..\\evil.exe\"").back().kind, K::Rejected);
    EXPECT_EQ(ReadFileByFile("1 \"..\" \"x\"").back().kind, K::Rejected);
    EXPECT_EQ(ReadFileByFile("1 \"C:\\Windows\" \"x\"").back().kind, K::Rejected);
    EXPECT_EQ(ReadFileByFile("\"\"").back().kind, K::Rejected);
    EXPECT_EQ(ReadFileByFile("1 \"" + std::string(104, 'd') + "\"").back().kind, K::Rejected);
    EXPECT_EQ(ReadFileByFile("\"a\" " + std::string(104, 'd')).back().kind, K::Rejected);
}

class PackedReadingTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        game = (Dir() / "game").string();
        std::filesystem::create_directories(Dir() / "game");
    }
    StepResult Apply(const std::string& list) {
        PatchListReader reader(list);
        return ApplyDeleteEntries(reader, game, update, launcher, window, [this] { ++steps; });
    }
    bool InGame(const char* path) { return std::filesystem::exists(Dir() / "game" / path); }

    std::string game;
    UpdateState update;
    LauncherState launcher;
    test::RecordingWindow window;
    int steps = 0;
};

TEST_F(PackedReadingTest, DeletesFilesAndEmptyFoldersAndSpotsTheLauncher) {
    test::WriteFile(Dir() / "game" / "old.bmd", "x");
    test::WriteFile(Dir() / "game" / "Data" / "ro.bmd", "x");
    std::filesystem::permissions(Dir() / "game" / "Data" / "ro.bmd",
                                 std::filesystem::perms::owner_read);
    test::WriteFile(Dir() / "game" / "kept.bmd", "x");
    test::WriteFile(Dir() / "game" / "other.bmd", "x");
    std::filesystem::create_directories(Dir() / "game" / "Empty");
    test::WriteFile(Dir() / "game" / "Full" / "f", "x");

    EXPECT_TRUE(Apply("\"other.bmd\"\n"
                      "@ \"old.bmd\"\n"
                      "@ \"Data\\ro.bmd\"\n"
                      "@ \"missing.bmd\"\n"
                      "@ 1 \"Empty\"\n"
                      "@ 2 \"Full\"\n"
                      "@ 3 \"NoSuchFolder\"\n"
                      "@ ,\n"
                      "@ @ \"kept.bmd\"\n"
                      "#COMPRESSED# Tarnvale"));
    EXPECT_TRUE(InGame("other.bmd")) << "a plain name deletes nothing";
    EXPECT_FALSE(InGame("old.bmd"));
    EXPECT_FALSE(InGame("Data/ro.bmd")) << "read-only files go too";
    EXPECT_FALSE(InGame("Empty"));
    EXPECT_TRUE(InGame("Full/f")) << "only empty folders are removed";
    EXPECT_TRUE(InGame("kept.bmd")) << "the second mark consumed, the name stands alone";
    EXPECT_FALSE(update.selfUpdatePending);
    EXPECT_EQ(steps, 12);
    EXPECT_TRUE(window.statusTexts.empty());
}

TEST_F(PackedReadingTest, TheLauncherNamedInAnyCaseAsksForTheSelfUpdate) {
    std::string name = LauncherFileName();
    EXPECT_EQ(name, "Tarnvale\xb5\xc7\xc2\xbc\xc6\xf7.exe");
    name.replace(0, 8, "TARNVALE");
    name.replace(name.size() - 3, 3, "EXE");
    EXPECT_TRUE(Apply("\"" + name + "\""));
    EXPECT_TRUE(update.selfUpdatePending);
}

TEST_F(PackedReadingTest, DeletingTheLauncherIsNoSelfUpdate) {
    EXPECT_TRUE(Apply("@ \"" + LauncherFileName() + "\""));
    EXPECT_FALSE(update.selfUpdatePending);
}

TEST_F(PackedReadingTest, PathsLeavingTheGameFolderFailTheList) {
    test::WriteFile(Dir() / "outside.txt", "keep");
    std::filesystem::create_directories(Dir() / "EmptyOutside");
    EXPECT_FALSE(Apply("@ \"..\\outside.txt\""));
    EXPECT_FALSE(Apply("@ 1 \"..\\EmptyOutside\""));
    EXPECT_FALSE(Apply("@ \"" + (Dir() / "outside.txt").string() + "\""));
    EXPECT_TRUE(std::filesystem::exists(Dir() / "outside.txt"));
    EXPECT_TRUE(std::filesystem::exists(Dir() / "EmptyOutside"));
    ASSERT_EQ(window.statusTexts.size(), 3u);
    EXPECT_EQ(window.statusTexts[0], launcher.Text(msgid::kCannotOpenListFile));
    // An overlong name fails it too; an empty one is nothing to delete.
    EXPECT_FALSE(Apply("@ \"" + std::string(104, 'n') + "\""));
    EXPECT_TRUE(Apply("@ \"\" @ 1 \"\""));
}

TEST_F(PackedReadingTest, WithoutAGameFolderNamesStayRelative) {
    test::WriteFile(Dir() / "here.bmd", "x");
    game.clear();
    EXPECT_TRUE(Apply("@ \"here.bmd\""));
    EXPECT_FALSE(std::filesystem::exists(Dir() / "here.bmd"));
}

TEST_F(PackedReadingTest, EntriesCutShortByTheEndOfTheList) {
    EXPECT_TRUE(Apply("@"));
    EXPECT_TRUE(Apply("@ 1"));
    EXPECT_TRUE(Apply(""));
    EXPECT_EQ(steps, 0);
}

} // namespace
} // namespace tarnvale
