// The bytes of a download kept for the next try: taken up only for the same
// version and a sound record, and swept when old.
#include "update/PartialDownload.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tarnvale {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class PartialDownloadTest : public test::TempDirTest {
  protected:
    static constexpr std::time_t kNow = 1'800'000'000;
    // A partial of 4 bytes of a 10-byte copy of version 1.0.2, begun at `since`.
    void Leave(std::time_t since) {
        PartialDownload partial("up.zip", "1.0.2", 0, since);
        ASSERT_TRUE(partial.Record({"\"t\"", "", 10}, since));
        WriteFile("up.zip.~tvpart", "half");
    }
};

TEST_F(PartialDownloadTest, APartialIsTakenUpOnlyWhenItFitsItsRecord) {
    struct Case {
        const char* name;
        const char* version;
        std::uint64_t ceiling;
        std::time_t since;
        bool kept;
    };
    const std::time_t day = 24 * 60 * 60;
    for (const Case& c : {Case{"the same version", "1.0.2", 0, kNow - day, true},
                          Case{"another version", "1.0.3", 0, kNow, false},
                          Case{"a copy above the ceiling", "1.0.2", 9, kNow, false},
                          Case{"older than a week", "1.0.2", 0, kNow - 8 * day, false},
                          Case{"from the future", "1.0.2", 0, kNow + day, false}}) {
        SCOPED_TRACE(c.name);
        Leave(c.since);
        PartialDownload partial("up.zip", c.version, c.ceiling, kNow);
        EXPECT_EQ(partial.Have(), c.kept ? 4u : 0u);
        EXPECT_EQ(fs::exists("up.zip.~tvpart"), c.kept);
        EXPECT_EQ(fs::exists("up.zip.~tvresume"), c.kept);
    }
    WriteFile("up.zip.~tvresume", "tarnvale-partial 1\nversion 1.0.2\nsince 1\nbogus x\n");
    WriteFile("up.zip.~tvpart", "half");
    EXPECT_EQ(PartialDownload("up.zip", "1.0.2", 0, kNow).Have(), 0u) << "a damaged record";
}

TEST_F(PartialDownloadTest, ACompletePartialBecomesTheFileAndTheSweepTakesOldOnes) {
    Leave(kNow);
    PartialDownload partial("up.zip", "1.0.2", 0, kNow);
    ASSERT_TRUE(partial.Complete());
    EXPECT_EQ(ReadFile("up.zip"), "half");
    EXPECT_FALSE(fs::exists("up.zip.~tvresume"));

    fs::create_directories("Temp/sub");
    fs::current_path("Temp/sub");
    Leave(kNow - 30 * 24 * 60 * 60);
    fs::current_path("../..");
    WriteFile("fresh.~tvpart", "x"); // no record
    EXPECT_EQ(SweepOldPartials(".", kNow), 2);
    EXPECT_TRUE(fs::is_empty("Temp/sub"));
    EXPECT_FALSE(fs::exists("fresh.~tvpart"));
}

} // namespace
} // namespace tarnvale
