#include "tools/PatchBuilder.h"
#include "support/TestSupport.h"

#include <unzip.h>

#include <functional>

namespace tarnvale::tools {
namespace {

class PatchBuilderTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        test::WriteFile("src/config.ini", "[LOGIN]\r\nVersion=1.00.01\r\n");
        test::WriteFile("src/readme.txt", "top");
        test::WriteFile("src/data/maps/a.map", "map bytes");
        std::filesystem::create_directories("src/empty");
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
    ASSERT_TRUE(AddVersion(v, error)) << error;
    EXPECT_EQ(test::ReadFile("root/1.0.1/list.inf"),
              "// list.inf of version 1.0.1\n#PACKINGVERSION#\n@ \"old.txt\"\n@ 0 \"olddir\"\n"
              "\"config.ini\"\n\"data\\maps\\a.map\"\n\"readme.txt\"\n");
    const std::vector<std::string> expected = {"data/",      "data/maps/",      "empty/",
                                               "config.ini", "data/maps/a.map", "readme.txt"};
    EXPECT_EQ(ArchiveNames("root/1.0.1/up_list.zip"), expected);

    ASSERT_TRUE(AddVersion(Version("1.0.2"), error)) << error;
    EXPECT_EQ(test::ReadFile("root/version.wvd"), "\"1.0.1\"\n\"1.0.2\"\n");
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
    ASSERT_TRUE(AddVersion(v, error)) << error;
    EXPECT_EQ(test::ReadFile("root/1.0.3/data/maps/a.map"), "map bytes");
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
        {"no config.ini in an archive",
         [](PatchVersion&) {
             std::filesystem::remove("src/with blank.txt");
             std::filesystem::remove("src/config.ini");
         }},
    };
    for (const Case& c : cases) {
        PatchVersion v = Version("1.0.9");
        c.change(v);
        if (std::string(c.what) == "quote in a name" && !std::filesystem::exists("src/a\"b"))
            continue;
        error.clear();
        EXPECT_FALSE(AddVersion(v, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(std::filesystem::exists("root/1.0.9")) << c.what << ": nothing left behind";
        EXPECT_FALSE(std::filesystem::exists("root/version.wvd")) << c.what;
    }
}

} // namespace
} // namespace tarnvale::tools
