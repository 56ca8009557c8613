#include "update/ConfigIni.h"

#include "support/TestSupport.h"

#include <filesystem>

namespace tarnvale::ini {
namespace {

std::string Read(const std::string& file, const char* key = "Version",
                 const char* section = "LOGIN", std::size_t buffer = 10) {
    return ReadProfileString(file, section, key, "0.0.0", buffer);
}

std::string Set(std::string file, const char* key, const char* value,
                const char* section = "LOGIN") {
    EXPECT_TRUE(SetProfileString(file, section, key, value));
    return file;
}

TEST(ConfigIniRead, SectionsKeysAndBlanks) {
    const std::string file = "; comment\r\n"
                             "Version=9.9.9\r\n"
                             "[Other]\r\n"
                             "Version=8.8.8\r\n"
                             "\r\n"
                             "  [ login ]  ; the real one\r\n"
                             ";Version=6.6.6\r\n"
                             "  version \t=  1.02.07  \r\n"
                             "TestVersion=\r\n"
                             "Version=5.5.5\r\n"
                             "= no name\r\n"
                             "[LOGIN]\r\n"
                             "Extra=1\r\n";
    EXPECT_EQ(Read(file), "1.02.07") << "first key of the first section of the name";
    EXPECT_EQ(Read(file, "TestVersion"), "") << "an empty value is a value";
    EXPECT_EQ(Read(file, "Extra"), "0.0.0") << "a second section of the name is not searched";
    EXPECT_EQ(Read(file, "Version", "Other"), "8.8.8");
    EXPECT_EQ(Read(file, "Version", " login "), "1.02.07") << "the asked names are trimmed";
    EXPECT_EQ(Read(file, "Version", "Missing"), "0.0.0");
    EXPECT_EQ(Read(file, "Version", ""), "9.9.9") << "keys before the first header";
    EXPECT_EQ(Read(file, ""), "no name");
}

TEST(ConfigIniRead, LineEndsAndOddLines) {
    EXPECT_EQ(Read("[LOGIN]\nVersion=1.2.3\n"), "1.2.3");
    EXPECT_EQ(Read("[LOGIN]\nVersion=1.2.3"), "1.2.3");
    EXPECT_EQ(Read("[LOGIN]\rVersion=1.2.3\r"), "1.2.3");
    EXPECT_EQ(Read("\r\n\n[LOGIN]\r\r\nVersion=1.2.3\n\r"), "1.2.3");
    EXPECT_EQ(Read("[LOGIN]\n\x1AVersion=1.2.3\x1A\n"), "1.2.3");
    // A key line without "=" has no value.
    EXPECT_EQ(Read("[LOGIN]\nVersion\n"), "0.0.0");
    // "[" without any "]" is no section header.
    EXPECT_EQ(Read("[LOGIN]\n[Broken\nVersion=1.2.3\n"), "1.2.3");
    EXPECT_EQ(Read("[LOGIN]x]\nVersion=1.2.3\n"), "0.0.0") << "the name runs to the last ]";
    EXPECT_EQ(Read("[LOGIN]x]\nVersion=1.2.3\n", "Version", "LOGIN]x"), "1.2.3");
    EXPECT_EQ(Read("[LOGIN]\nVersion==1\n"), "=1");
    const char withZero[] = "[LOGIN]\nVersion=1.2\0.3\n";
    EXPECT_EQ(Read(std::string(withZero, sizeof withZero - 1)), "1.2");
    EXPECT_EQ(Read(""), "0.0.0");
}

TEST(ConfigIniRead, TheBufferKeepsNineCharacters) {
    EXPECT_EQ(Read("[LOGIN]\nVersion=10.20.3456\n"), "10.20.345");
    EXPECT_EQ(Read("[LOGIN]\nVersion=10.20.3456\n", "Version", "LOGIN", 64), "10.20.3456");
    EXPECT_EQ(ReadProfileString("", "LOGIN", "Version", "0123456789ab", 10), "012345678");
    EXPECT_EQ(ReadProfileString("", "LOGIN", "Version", "1.0  ", 10), "1.0");
}

TEST(ConfigIniRead, QuotesAroundAValueAreDropped) {
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"1.02.07\"\n"), "1.02.07");
    EXPECT_EQ(Read("[LOGIN]\nVersion='1.02.07'\n"), "1.02.07");
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"1.02.07'\n"), "\"1.02.07'");
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"\n"), "\"");
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"\"\n"), "");
    // The closing quote goes after the value is cut to the buffer: a quoted value
    // of exactly nine characters loses its last one, a longer one keeps nine.
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"12345678\"\n"), "12345678");
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"123456789\"\n"), "12345678");
    EXPECT_EQ(Read("[LOGIN]\nVersion=\"1234567890\"\n"), "123456789");
}

TEST(ConfigIniRead, ByteOrderMarks) {
    EXPECT_EQ(Read("\xEF\xBB\xBF[LOGIN]\r\nVersion=1.2.3\r\n"), "1.2.3");
    const char little[] = "\xFF\xFE[\0L\0O\0G\0I\0N\0]\0\r\0\n\0V\0e\0r\0s\0i\0o\0n\0=\0"
                          "1\0.\0\xE9\0\n\0";
    EXPECT_EQ(Read(std::string(little, sizeof little - 1)), "1.?");
    const char big[] = "\xFE\xFF\0[\0L\0O\0G\0I\0N\0]\0\n\0V\0e\0r\0s\0i\0o\0n\0=\0003";
    EXPECT_EQ(Read(std::string(big, sizeof big - 1)), "3");
}

TEST(ConfigIniWrite, ReplacesTheValueWhereItStandsAndKeepsEverythingElse) {
    const std::string file = "; settings\r\n"
                             "[OPTION]\r\n"
                             "Version=0.0.1\r\n"
                             "\r\n"
                             "[login]\r\n"
                             "  Version  =  1.00.00   ; old\r\n"
                             "Other=x\r\n";
    std::string expected = file;
    expected.replace(expected.find("1.00.00   ; old"), 15, "1.02.07");
    EXPECT_EQ(Set(file, "VERSION", "1.02.07"), expected);
}

TEST(ConfigIniWrite, NewKeysGoAfterTheSectionsLastLine) {
    EXPECT_EQ(Set("[LOGIN]\r\nVersion=1\r\n\r\n[OPTION]\r\nA=1\r\n", "TestVersion", "2"),
              "[LOGIN]\r\nVersion=1\r\nTestVersion=2\r\n\r\n[OPTION]\r\nA=1\r\n");
    EXPECT_EQ(Set("[LOGIN]\nVersion=1", "TestVersion", "2"), "[LOGIN]\nVersion=1\nTestVersion=2\n");
    EXPECT_EQ(Set("[LOGIN]", "Version", "2"), "[LOGIN]\r\nVersion=2\r\n");
    EXPECT_EQ(Set("[LOGIN]\nVersion\n", "Version", "2"), "[LOGIN]\nVersion=2\n");
    EXPECT_EQ(Set("[LOGIN]\nVersion=\n", "Version", "2"), "[LOGIN]\nVersion=2\n");
    EXPECT_EQ(Set("[LOGIN]\rVersion=1\r", "TestVersion", "2"),
              "[LOGIN]\rVersion=1\rTestVersion=2\r");
    EXPECT_EQ(Set("[LOGIN]\r\nVersion=1\r\n[LOGIN]\r\n", "Version", "2"),
              "[LOGIN]\r\nVersion=2\r\n[LOGIN]\r\n");
}

TEST(ConfigIniWrite, NewSectionsGoAtTheEnd) {
    EXPECT_EQ(Set("", "Version", "1.02.07"), "[LOGIN]\r\nVersion=1.02.07\r\n");
    EXPECT_EQ(Set("[A]\nx=1", "Version", "1"), "[A]\nx=1\n\n[LOGIN]\nVersion=1\n");
    EXPECT_EQ(Set("[A]\r\nx=1\r\n", "Version", "1"), "[A]\r\nx=1\r\n\r\n[LOGIN]\r\nVersion=1\r\n");
}

TEST(ConfigIniWrite, EncodingsAreKept) {
    EXPECT_EQ(Set("\xEF\xBB\xBF[LOGIN]\r\nVersion=1\r\n", "Version", "2"),
              "\xEF\xBB\xBF[LOGIN]\r\nVersion=2\r\n");
    const std::string before("\xFF\xFE[\0A\0]\0\r\0\n\0", 12);
    const std::string after = Set(before, "Version", "7");
    EXPECT_EQ(after.substr(0, 12), before);
    EXPECT_EQ(Read(after), "7");
}

TEST(ConfigIniWrite, RefusesWhatWouldNotReadBack) {
    std::string file = "[LOGIN]\n";
    EXPECT_FALSE(SetProfileString(file, "LOGIN", "Version", "1\r\n[X]"));
    EXPECT_FALSE(SetProfileString(file, "LOGIN", "Version", std::string("1\0", 2)));
    EXPECT_FALSE(SetProfileString(file, "LOGIN", "Ver=sion", "1"));
    EXPECT_FALSE(SetProfileString(file, "", "Version", "1"));
    EXPECT_EQ(file, "[LOGIN]\n");
    EXPECT_EQ(Set(file, "Version", "  1.0"), "[LOGIN]\nVersion=1.0\n") << "leading blanks go";
}

class ConfigIniFileTest : public test::TempDirTest {};

TEST_F(ConfigIniFileTest, WritesThroughATemporaryAndLeavesNoneBehind) {
    test::WriteFile("config.ini", "[OPTION]\r\nA=1\r\n");
    EXPECT_TRUE(WriteProfileStringToFile("config.ini", "LOGIN", "Version", "1.02.07"));
    EXPECT_EQ(test::ReadFile("config.ini"),
              "[OPTION]\r\nA=1\r\n\r\n[LOGIN]\r\nVersion=1.02.07\r\n");
    EXPECT_EQ(ReadProfileStringFromFile("config.ini", "LOGIN", "Version", "0.0.0", 10), "1.02.07");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir()), {}), 1);
    EXPECT_EQ(ReadProfileStringFromFile("missing.ini", "LOGIN", "Version", "0.0.0", 10), "0.0.0");
}

TEST_F(ConfigIniFileTest, AFileThatCannotBeReadIsNotReplaced) {
    std::filesystem::create_directories("config.ini");
    EXPECT_FALSE(WriteProfileStringToFile("config.ini", "LOGIN", "Version", "1"));
    EXPECT_TRUE(std::filesystem::is_directory("config.ini"));
    EXPECT_FALSE(WriteProfileStringToFile("no-folder/config.ini", "LOGIN", "Version", "1"));
}

} // namespace
} // namespace tarnvale::ini
