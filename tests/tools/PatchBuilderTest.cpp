#include "tools/PatchBuilder.h"
#include "platform/CodePage.h"
#include "support/TestSupport.h"
#include "tools/PublishedVersions.h"
#include "update/PatchList.h"

#include <unzip.h>

#include <functional>

namespace tarnvale::tools {
namespace {

// "Tarnvale登录器.exe" as operators' files name it, in UTF-8.
const std::u8string kLauncherUtf8 = u8"Tarnvale\u767b\u5f55\u5668.exe";

class PatchBuilderTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test::WriteFile("src/config.ini", "[LOGIN]\r\nVersion=1.00.01\r\n");
        test::WriteFile("src/readme.txt", "top");
        test::WriteFile("src/data/maps/a.map", "map bytes");
        std::filesystem::create_directories("src/empty");
        bool created = false;
        std::string error;
        ASSERT_TRUE(InitServerRoot("root", "version.wvd", created, error)) << error;
        EXPECT_TRUE(created);
    }
    PatchVersion Version(const char* name) {
        PatchVersion v;
        v.root = "root";
        v.name = name;
        v.source = "src";
        return v;
    }
    std::vector<std::string> ArchiveNames(const std::string& path) {
        std::vector<std::string> names;
        unzFile zip = unzOpen(path.c_str());
        if (!zip)
            return names;
        for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
            char name[256];
            unz_file_info info;
            unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
            names.emplace_back(name);
        }
        unzClose(zip);
        return names;
    }
};

TEST_F(PatchBuilderTest, PackedVersionHasArchiveListAndVersionLine) {
    PatchVersion v = Version("1.0.1");
    v.removeFiles = {"old.txt"};
    v.removeFolders = {"olddir"};
    std::string error;
    PublishReport report;
    ASSERT_TRUE(AddVersion(v, error, &report)) << error;
    EXPECT_EQ(report.files, 3u);
    EXPECT_FALSE(report.carriesLauncher);
    EXPECT_EQ(test::ReadFile("root/1.0.1/list.inf"),
              "// list.inf of version 1.0.1\n#PACKINGVERSION#\n@ \"old.txt\"\n@ 0 \"olddir\"\n"
              "\"config.ini\"\n\"data\\maps\\a.map\"\n\"readme.txt\"\n");
    const std::vector<std::string> expected = {"data/",      "data/maps/",      "empty/",
                                               "config.ini", "data/maps/a.map", "readme.txt"};
    EXPECT_EQ(ArchiveNames("root/1.0.1/up_list.zip"), expected);

    test::WriteFile("src/config.ini", "[LOGIN]\r\nVersion=1.00.02\r\n");
    ASSERT_TRUE(AddVersion(Version("1.0.2"), error)) << error;
    EXPECT_EQ(test::ReadFile("root/version.wvd"), "\"1.0.1\"\n\"1.0.2\"\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("root"),
                            std::filesystem::directory_iterator()),
              3)
        << "the two versions and the version file, no temporary leftovers";
}

TEST_F(PatchBuilderTest, FileByFileListPutsTopLevelFilesBeforeFolders) {
    PatchVersion v = Version("1.0.2");
    v.packed = false;
    v.testServer = true;
    std::string error;
    ASSERT_TRUE(AddVersion(v, error)) << error;
    EXPECT_EQ(test::ReadFile("root/1.0.2/list.inf"),
              "// list.inf of version 1.0.2\n#TEST_SERVER#\n\"config.ini\"\n\"readme.txt\"\n"
              "0 \"data\"\n0 \"data\\maps\"\n\"a.map\"\n0 \"empty\"\n");
    EXPECT_EQ(test::ReadFile("root/1.0.2/a.map"), "map bytes") << "flat on the server";

    v.name = "1.0.3";
    v.mirror = true;
    v.compressed = true;
    ASSERT_TRUE(AddVersion(v, error)) << error;
    EXPECT_TRUE(std::filesystem::exists("root/1.0.3/data/maps/a.map.QXC"));
    EXPECT_FALSE(std::filesystem::exists("root/.1.0.3.qxc.part")) << "the packing scratch";
}

// Operators' names are UTF-8; players' lists and archives carry code page 936,
// and the launcher's own file, so converted, is the self-update launchers look for.
TEST_F(PatchBuilderTest, NamesReachPlayersInTheirCodePage) {
    test::WriteFile(std::filesystem::path("src") / kLauncherUtf8, "new launcher");
    PatchVersion v = Version("1.0.1");
    std::string error;
    PublishReport report;
    ASSERT_TRUE(AddVersion(v, error, &report)) << error;
    EXPECT_TRUE(report.carriesLauncher);
    const std::vector<std::string> names = ArchiveNames("root/1.0.1/up_list.zip");
    EXPECT_NE(std::find(names.begin(), names.end(), LauncherFileName()), names.end());

    PatchListReader reader;
    ASSERT_TRUE(reader.Open("root/1.0.1/list.inf"));
    PackedReading reading(reader, LauncherFileName());
    int selfUpdates = 0;
    for (PackedEntry entry = reading.Next(); entry.kind != PackedEntry::Kind::End;
         entry = reading.Next())
        selfUpdates += entry.kind == PackedEntry::Kind::SelfUpdate ? 1 : 0;
    EXPECT_EQ(selfUpdates, 1);
}

TEST_F(PatchBuilderTest, CodePageConversionRefusesWhatItCannotCarry) {
    std::string out;
    ASSERT_TRUE(platform::Utf8ToCodePage("\xe7\x99\xbb.txt", 936, out)); // 登
    EXPECT_EQ(out, "\xb5\xc7.txt");
    ASSERT_TRUE(platform::CodePageToUtf8(out, 936, out));
    EXPECT_EQ(out, "\xe7\x99\xbb.txt");
    ASSERT_TRUE(platform::Utf8ToCodePage("\xed\x95\x9c", 949, out)); // 한
    EXPECT_EQ(out, "\xc7\xd1");
    EXPECT_FALSE(platform::Utf8ToCodePage("\xf0\x9f\x98\x80", 936, out)) << "an emoji";
    EXPECT_FALSE(platform::Utf8ToCodePage("\xb5\xc7", 936, out)) << "not UTF-8";
    unsigned codePage = 0;
    EXPECT_TRUE(platform::ParseCodePage("CP949", codePage));
    EXPECT_EQ(codePage, 949u);
    EXPECT_TRUE(platform::ParseCodePage("936", codePage));
    EXPECT_FALSE(platform::ParseCodePage("GBK", codePage));
}

TEST_F(PatchBuilderTest, VersionNamesAndOrderAreTheLaunchersOwn) {
    ClientVersion value;
    EXPECT_TRUE(IsPublishableVersionName("1.02.07", value));
    EXPECT_EQ(value, (ClientVersion{1, 2, 7}));
    EXPECT_TRUE(IsPublishableVersionName("1.02.007", value)) << "eight characters";
    for (const char* bad : {"", "1.2", "1.2.3.4", "1..2", "1.2.256", "255.255.255", "a.b.c",
                            "1.2.3 ", "-1.2.3", "1.2.0003"})
        EXPECT_FALSE(IsPublishableVersionName(bad, value)) << bad;

    std::string error;
    const std::string published = "\"1.0.1\"\n\"1.02.00\"\n";
    EXPECT_TRUE(CheckNewVersion(published, "v", "1.2.1", {1, 2, 1}, error)) << error;
    EXPECT_FALSE(CheckNewVersion(published, "v", "1.2.0", {1, 2, 0}, error));
    EXPECT_NE(error.find("already published"), std::string::npos) << error;
    EXPECT_FALSE(CheckNewVersion(published, "v", "1.1.9", {1, 1, 9}, error));
    EXPECT_NE(error.find("older than the published version 1.02.00"), std::string::npos);
    std::string full;
    for (int i = 1; i <= 999; ++i)
        full += "\"0.0." + std::to_string(i % 256) + "\"\n";
    EXPECT_FALSE(CheckNewVersion(full, "v", "9.9.9", {9, 9, 9}, error)) << "a 1000th version";
    EXPECT_EQ(AppendVersion("\"1.0.1\"", "1.0.2"), "\"1.0.1\"\n\"1.0.2\"\n");
}

TEST_F(PatchBuilderTest, RefusesWhatTheLauncherCouldNotInstall) {
    std::string error;
    struct Case {
        const char* what;
        std::function<void(PatchVersion&)> change;
    } cases[] = {
        {"long version name", [](PatchVersion& v) { v.name = "1.02.0777"; }},
        {"missing source", [](PatchVersion& v) { v.source = "nowhere"; }},
        {"removal in a file-by-file list",
         [](PatchVersion& v) {
             v.packed = false;
             v.removeFiles = {"x"};
         }},
        {"removal climbing out", [](PatchVersion& v) { v.removeFiles = {"..\\x"}; }},
        {"removal with a drive", [](PatchVersion& v) { v.removeFiles = {"C:\\x"}; }},
        // Windows cannot even name such a file; there the case has nothing to test.
        {"quote in a name", [](PatchVersion&) { test::WriteFile("src/a\"b", "x"); }},
        {"same name in two folders",
         [](PatchVersion& v) {
             std::filesystem::remove("src/a\"b");
             v.packed = false;
             test::WriteFile("src/data/readme.txt", "again");
         }},
        {"blank in a journalled name",
         [](PatchVersion& v) {
             std::filesystem::remove("src/data/readme.txt");
             v.packed = false;
             test::WriteFile("src/with blank.txt", "x");
         }},
        {"config.ini of another version",
         [](PatchVersion& v) {
             std::filesystem::remove("src/with blank.txt");
             v.name = "1.0.2";
         }},
        {"no config.ini in an archive",
         [](PatchVersion&) { std::filesystem::remove("src/config.ini"); }},
        {"root never set up", [](PatchVersion& v) { v.root = "elsewhere"; }},
    };
    for (const Case& c : cases) {
        PatchVersion v = Version("1.0.1");
        c.change(v);
        if (std::string(c.what) == "quote in a name" && !std::filesystem::exists("src/a\"b"))
            continue;
        error.clear();
        EXPECT_FALSE(AddVersion(v, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(std::filesystem::exists("root/1.0.1")) << c.what << ": nothing left behind";
        EXPECT_EQ(test::ReadFile("root/version.wvd"), "") << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists("elsewhere")) << "a mistyped root is not created";
}

} // namespace
} // namespace tarnvale::tools
