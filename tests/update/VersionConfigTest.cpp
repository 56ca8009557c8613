#include "update/VersionConfig.h"

#include "msg/MessageIds.h"
#include "state/LauncherState.h"
#include "support/TestSupport.h"
#include "update/PatchList.h"

#include <cstring>
#include <filesystem>

namespace tarnvale {
namespace {

ClientVersion V(int major, int minor, int build) {
    return {static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor),
            static_cast<std::uint8_t>(build)};
}

TEST(ClientVersion, ReadForm) {
    struct Case {
        const char* text;
        ClientVersion expected;
    } cases[] = {
        {"1.2.7", V(1, 2, 7)},    {"1.02.07", V(1, 2, 7)},  {"1.2", V(1, 2, 0)},
        {"abc", V(0, 0, 0)},      {"1.300.5", V(1, 44, 5)}, {"1..2.3", V(1, 2, 3)},
        {".1.2", V(1, 2, 0)},     {"1.2.3.4", V(1, 2, 3)},  {"7x.9", V(7, 9, 0)},
        {"x7.9", V(0, 9, 0)},     {"", V(0, 0, 0)},         {"256.511.767", V(0, 255, 255)},
        {" 5.-1.+2", V(0, 0, 0)}, {"...", V(0, 0, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseVersionReadForm(c.text), c.expected) << c.text;
}

TEST(ClientVersion, WrittenForms) {
    EXPECT_EQ(FormatConfigForm(V(1, 2, 7)), "1.02.07");
    EXPECT_EQ(ParseVersionReadForm(FormatConfigForm(V(1, 2, 7))), V(1, 2, 7));
    EXPECT_EQ(FormatConfigForm(V(255, 255, 255)), "255.255.255");
    EXPECT_EQ(FormatLogForm(V(1, 2, 7)), "1.2.7");
    EXPECT_EQ(V(1, 2, 7).Packed(), 0x010207);
    EXPECT_EQ(V(255, 255, 255).Packed(), 0xFFFFFF);
}

TEST(ConfigIniPath, AddsASeparatorOnlyWhenMissing) {
    EXPECT_EQ(ConfigIniPath("C:\\Game"), "C:\\Game\\config.ini");
    EXPECT_EQ(ConfigIniPath("C:\\"), "C:\\config.ini");
    EXPECT_EQ(ConfigIniPath(""), "config.ini") << "never the root of the drive";
}

class LocalVersionTest : public test::TempDirTest {
  protected:
    ClientVersion Read(std::uint32_t mode) {
        launcher.launchMode = mode;
        ReadLocalVersion(launcher, update, Dir().string());
        return update.localVersion;
    }
    void Config(const std::string& version, const std::string& testVersion) {
        std::string text = "[LOGIN]\r\n";
        if (!version.empty())
            text += "Version=" + version + "\r\n";
        if (!testVersion.empty())
            text += "TestVersion=" + testVersion + "\r\n";
        test::WriteFile("config.ini", text);
    }
    std::string ConfigText() { return test::ReadFile("config.ini"); }

    LauncherState launcher;
    UpdateState update;
};

TEST_F(LocalVersionTest, MissingFileOrKeysReadAsZero) {
    update.localVersion = V(9, 9, 9);
    EXPECT_EQ(Read(kLaunchNormal), V(0, 0, 0));
    test::WriteFile("config.ini", "[OTHER]\nVersion=1.2.3\n");
    EXPECT_EQ(Read(kLaunchNormal), V(0, 0, 0));
    EXPECT_EQ(Read(kLaunchTest), V(0, 0, 0));
}

TEST_F(LocalVersionTest, NormalModeReadsVersionThroughTheReadForm) {
    Config("1.2", "5.0.0");
    EXPECT_EQ(Read(kLaunchNormal), V(1, 2, 0));
    Config("1.300.5", "");
    EXPECT_EQ(Read(kLaunchNormal), V(1, 44, 5));
    Config("abc", "");
    EXPECT_EQ(Read(kLaunchNormal), V(0, 0, 0));
}

TEST_F(LocalVersionTest, OnlyNineCharactersOfAValueAreSeen) {
    Config("10.20.3456", "");
    EXPECT_EQ(Read(kLaunchNormal), V(10, 20, 345 & 0xFF)) << "read as 10.20.345";
}

TEST_F(LocalVersionTest, OverrideIgnoresConfigIni) {
    Config("1.2.3", "1.2.4");
    launcher.overrideVersion[0] = 7;
    launcher.overrideVersion[1] = 8;
    launcher.overrideVersion[2] = 9;
    EXPECT_EQ(Read(kLaunchOverride), V(7, 8, 9));
}

TEST_F(LocalVersionTest, TestModeTakesTheHeavierWithTestVersionOnTies) {
    // 1.00.00 and 0.255.255 weigh 65535 each: the tie goes to TestVersion.
    Config("1.00.00", "0.255.255");
    EXPECT_EQ(Read(kLaunchTest), V(0, 255, 255));
    Config("1.00.01", "0.255.255");
    EXPECT_EQ(Read(kLaunchTest), V(1, 0, 1));
    Config("1.02.00", "1.03.00");
    EXPECT_EQ(Read(kLaunchTest), V(1, 3, 0));
    Config("1.02.00", "");
    EXPECT_EQ(Read(kLaunchTest), V(1, 2, 0));
    Config("", "0.0.1");
    EXPECT_EQ(Read(kLaunchTest), V(0, 0, 1));
}

TEST_F(LocalVersionTest, WritingInEachMode) {
    const std::string original = "; launcher settings\r\n[LOGIN]\r\nVersion = 1.00.00\r\n"
                                 "TestVersion=1.00.00\r\n\r\n[OPTION]\r\nSound=1\r\n";
    update.localVersion = V(1, 2, 7);
    struct Case {
        std::uint32_t mode, testServer;
        bool version, testVersion;
    } cases[] = {
        {kLaunchTest, 1, false, true},
        {kLaunchTest, 0, true, true},
        {kLaunchNormal, 0, true, false},
        {kLaunchNormal, 1, false, false},
    };
    for (const Case& c : cases) {
        test::WriteFile("config.ini", original);
        launcher.launchMode = c.mode;
        launcher.testServerFlag = c.testServer;
        EXPECT_TRUE(WriteLocalVersion(launcher, update, Dir().string()));
        std::string expected = original;
        if (c.version)
            expected.replace(expected.find("1.00.00"), 7, "1.02.07");
        if (c.testVersion)
            expected.replace(expected.rfind("1.00.00"), 7, "1.02.07");
        EXPECT_EQ(ConfigText(), expected) << c.mode << " " << c.testServer;
    }
    // Reading back gives the version written.
    launcher.launchMode = kLaunchTest;
    launcher.testServerFlag = 0;
    EXPECT_TRUE(WriteLocalVersion(launcher, update, Dir().string()));
    update.localVersion = V(0, 0, 0);
    EXPECT_EQ(Read(kLaunchNormal), V(1, 2, 7));
    EXPECT_EQ(Read(kLaunchTest), V(1, 2, 7));
}

TEST_F(LocalVersionTest, WritingCreatesAMissingFileAndLeavesNoTemporary) {
    update.localVersion = V(3, 4, 5);
    launcher.launchMode = kLaunchNormal;
    EXPECT_TRUE(WriteLocalVersion(launcher, update, Dir().string()));
    EXPECT_EQ(ConfigText(), "[LOGIN]\r\nVersion=3.04.05\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir()), {}), 1);
    // A test-server version in normal mode writes nothing at all.
    std::filesystem::remove("config.ini");
    launcher.testServerFlag = 1;
    EXPECT_TRUE(WriteLocalVersion(launcher, update, Dir().string()));
    EXPECT_FALSE(std::filesystem::exists("config.ini"));
}

TEST_F(LocalVersionTest, AFailedWriteIsReported) {
    update.localVersion = V(3, 4, 5);
    EXPECT_FALSE(WriteLocalVersion(launcher, update, (Dir() / "missing-folder").string()));
}

class VersionFileTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::strcpy(update.server.versionFileName, "version.wvd");
    }
    StepResult Parse(const std::string& contents) {
        test::WriteFile("version.wvd", contents);
        window.statusTexts.clear();
        return ParseVersionFile("version.wvd", update, launcher, window);
    }
    std::string Names(int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "\"1." + std::to_string(i / 100) + "." + std::to_string(i % 100) + "\"\r\n";
        return text;
    }
    void ExpectStatus(int failure) {
        ASSERT_EQ(window.statusTexts.size(), failure ? 2u : 1u);
        EXPECT_EQ(window.statusTexts[0], launcher.Text(msgid::kReadingVersionFile));
        if (failure) {
            EXPECT_EQ(window.statusTexts[1], launcher.Text(failure));
        }
    }

    LauncherState launcher;
    UpdateState update;
    test::RecordingWindow window;
};

TEST_F(VersionFileTest, QuotedNamesInFileOrder) {
    ASSERT_TRUE(Parse("// versions\r\n\"1.02.07\"\r\n\"1.02.10\"\r\n,; #x# \"0.9\" v2.1\r\n"));
    ExpectStatus(0);
    ASSERT_EQ(update.versionTable.size(), 4u);
    EXPECT_STREQ(update.versionTable[0].name, "1.02.07");
    EXPECT_EQ(update.versionTable[0].version, V(1, 2, 7));
    EXPECT_EQ(update.versionTable[0].Packed(), 0x010207);
    EXPECT_STREQ(update.versionTable[1].name, "1.02.10");
    EXPECT_EQ(update.versionTable[2].version, V(0, 9, 0));
    EXPECT_STREQ(update.versionTable[3].name, "v2.1") << "bare names count too";
    EXPECT_EQ(update.versionTable[3].version, V(0, 1, 0));
}

TEST_F(VersionFileTest, UnquotedNamesBeginningWithDigitsGiveAnEmptyTable) {
    ASSERT_TRUE(Parse("1.02.07\r\n1.02.08\r\n"));
    EXPECT_TRUE(update.versionTable.empty());
    ASSERT_TRUE(Parse(""));
    EXPECT_TRUE(update.versionTable.empty());
}

TEST_F(VersionFileTest, AtMost999Names) {
    ASSERT_TRUE(Parse(Names(999)));
    EXPECT_EQ(update.versionTable.size(), 999u);
    EXPECT_FALSE(Parse(Names(1000)));
    ExpectStatus(msgid::kTooManyVersions);
    EXPECT_TRUE(update.versionTable.empty());
}

TEST_F(VersionFileTest, MissingOrUnreadableFilesFailWith113) {
    EXPECT_FALSE(ParseVersionFile("version.wvd", update, launcher, window));
    ExpectStatus(msgid::kCannotOpenListFile);
    // Names of up to 8 characters fit; a longer one fails the whole file.
    ASSERT_TRUE(Parse("\"12345678\""));
    EXPECT_STREQ(update.versionTable[0].name, "12345678");
    EXPECT_FALSE(Parse("\"1.02.07\" \"123456789\""));
    ExpectStatus(msgid::kCannotOpenListFile);
    EXPECT_TRUE(update.versionTable.empty());
    EXPECT_FALSE(Parse("\"1.02.07\" " + std::string(200, '9')));
    ExpectStatus(msgid::kCannotOpenListFile);
}

TEST_F(VersionFileTest, AZeroByteEndsANameAsInAZeroTerminatedCopy) {
    const char file[] = "\"1.2\0.5\" \"1.0.0\0too long for a name\"";
    ASSERT_TRUE(Parse(std::string(file, sizeof file - 1)));
    ASSERT_EQ(update.versionTable.size(), 2u);
    EXPECT_STREQ(update.versionTable[0].name, "1.2");
    EXPECT_EQ(update.versionTable[0].version, V(1, 2, 0));
    EXPECT_STREQ(update.versionTable[1].name, "1.0.0");
}

TEST_F(VersionFileTest, AFullFileNameFieldWithoutTerminatorIsNotOverrun) {
    std::memset(update.server.versionFileName, 'v', sizeof update.server.versionFileName);
    const StepResult failed = ParseVersionFile("missing.wvd", update, launcher, window);
    EXPECT_NE(failed.Detail().find(std::string(sizeof update.server.versionFileName, 'v') + "\""),
              std::string::npos)
        << failed.Detail();
}

std::vector<VersionEntry> Table(std::initializer_list<ClientVersion> versions) {
    std::vector<VersionEntry> table;
    for (const ClientVersion& v : versions) {
        VersionEntry entry;
        entry.version = v;
        table.push_back(entry);
    }
    return table;
}

TEST(VersionWalks, FtpAdvancesLocalVersionHttpCutsAtTheLastOlderEntry) {
    const auto table = Table({V(1, 0, 5), V(1, 0, 3), V(1, 0, 6), V(1, 0, 6)});
    // FTP: each installed entry becomes the version later ones are compared with.
    EXPECT_EQ(FtpVersionsToInstall(table, V(1, 0, 4)), (std::vector<std::size_t>{0, 2}));
    // HTTP: everything after the last entry that is not newer than the start.
    EXPECT_EQ(HttpFirstVersionToInstall(table, V(1, 0, 4)), 2u);
    EXPECT_EQ(HttpFirstVersionToInstall(table, V(1, 0, 6)), 4u) << "nothing to install";
    EXPECT_EQ(HttpFirstVersionToInstall(table, V(0, 0, 0)), 0u) << "all newer: from the first";
    EXPECT_EQ(FtpVersionsToInstall(table, V(0, 0, 0)), (std::vector<std::size_t>{0, 2}));
    EXPECT_TRUE(FtpVersionsToInstall(table, V(2, 0, 0)).empty());
    EXPECT_EQ(HttpFirstVersionToInstall({}, V(0, 0, 0)), 0u);
}

TEST(VersionWalks, NewerComparesPackedValues) {
    const auto table = Table({V(1, 2, 7), V(0, 255, 255), V(2, 0, 0)});
    EXPECT_FALSE(IsNewer(table[0], V(1, 2, 7)));
    EXPECT_TRUE(IsNewer(table[0], V(1, 2, 6)));
    EXPECT_FALSE(IsNewer(table[1], V(1, 0, 0)));
    EXPECT_TRUE(IsNewer(table[2], V(1, 255, 255)));
}

} // namespace
} // namespace tarnvale
