// Reading LIST replies and matching listing patterns: what the POSIX FTP client
// makes of the two listing styles servers send.
#include "platform/FtpClient.h"

#include <gtest/gtest.h>

namespace tarnvale::platform {
namespace {

std::vector<FtpEntry> Parse(const std::string& text, std::size_t* skipped = nullptr) {
    std::vector<FtpEntry> entries;
    std::size_t count = 0;
    ParseFtpListing(text, entries, count);
    if (skipped)
        *skipped = count;
    return entries;
}

TEST(FtpListingTest, ReadsUnixStyleLines) {
    const auto entries =
        Parse("total 24\r\n"
              "drwxr-xr-x   2 owner    group        4096 Jan 15 10:30 1.02.07\r\n"
              "-rw-r--r--   1 owner    group      123456 Mar  3  2021 list.inf\r\n"
              "-rw-r--r--   1 owner    group           7 Dec 31 23:59 with  two spaces.txt\r\n"
              "-rw-r--r-- 1 ftp 5000000000 Feb 29 2024 big.bin\n"
              "lrwxrwxrwx   1 owner    group          11 Jan  1 00:00 current -> 1.02.07\n");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, "1.02.07");
    EXPECT_TRUE(entries[0].IsDirectory());
    EXPECT_EQ(entries[0].attributes, kFtpAttributeDirectory);
    EXPECT_EQ(entries[1].name, "list.inf");
    EXPECT_EQ(entries[1].size, 123456u);
    EXPECT_EQ(entries[1].attributes, kFtpAttributeNormal);
    EXPECT_EQ(entries[2].name, "with  two spaces.txt"); // inner spaces are kept
    EXPECT_EQ(entries[3].name, "big.bin");              // no group column, size over 4 GiB
    EXPECT_EQ(entries[3].size, 5000000000u);
    EXPECT_EQ(entries[4].name, "current"); // the link's own name, not its target
    EXPECT_FALSE(entries[4].IsDirectory());
}

TEST(FtpListingTest, MarksWriteProtectedEntriesReadOnly) {
    const auto entries = Parse("dr-xr-xr-x 2 o g 4096 Jan 15 10:30 locked\n"
                               "-r--r--r-- 1 o g 10 Jan 15 10:30 frozen.dat\n");
    ASSERT_EQ(entries.size(), 2u);
    // A directory with more bits than the directory bit is what the update road
    // treats as a file; the read-only bit is how such directories arise.
    EXPECT_EQ(entries[0].attributes, kFtpAttributeDirectory | kFtpAttributeReadOnly);
    EXPECT_TRUE(entries[0].IsDirectory());
    EXPECT_EQ(entries[1].attributes, kFtpAttributeReadOnly);
}

TEST(FtpListingTest, ReadsDosStyleLines) {
    const auto entries = Parse("01-15-24  10:30AM       <DIR>          1.02.07\r\n"
                               "01-15-2024  22:05             1234 list.inf\r\n"
                               "12-31-99  11:59PM                0 empty file.txt\r\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "1.02.07");
    EXPECT_EQ(entries[0].attributes, kFtpAttributeDirectory);
    EXPECT_EQ(entries[1].name, "list.inf");
    EXPECT_EQ(entries[1].size, 1234u);
    EXPECT_EQ(entries[1].attributes, kFtpAttributeNormal);
    EXPECT_EQ(entries[2].name, "empty file.txt");
    EXPECT_EQ(entries[2].size, 0u);
}

TEST(FtpListingTest, SkipsNamesTooLongForASlotAndJunk) {
    const std::string longest(kFtpMaxNameLength, 'a');
    const std::string tooLong(kFtpMaxNameLength + 1, 'b');
    std::size_t skipped = 0;
    const auto entries =
        Parse("-rw-r--r-- 1 o g 1 Jan 1 2020 " + longest + "\n" + "-rw-r--r-- 1 o g 1 Jan 1 2020 " +
                  tooLong + "\n" + "01-15-24  10:30AM  2 " + tooLong +
                  "c\n"
                  "\n"
                  "garbage line without structure\n"
                  "-rw-r--r-- 1 o g notanumber Jan 1 2020 x\n"
                  "-rw-r--r-- 1 o g 99999999999999999999999 Jan 1 2020 huge\n"
                  "-rw-r--r-- 1 o g 5 Jan 1 2020",
              &skipped);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, longest); // exactly the slot size still fits
    EXPECT_EQ(skipped, 2u);
}

TEST(FtpListingTest, PatternsMatchWithoutRegardToCase) {
    EXPECT_TRUE(FtpPatternMatches("*.*", "noextension"));
    EXPECT_TRUE(FtpPatternMatches("*", ".hidden"));
    EXPECT_TRUE(FtpPatternMatches("", "anything"));
    EXPECT_TRUE(FtpPatternMatches("*.qxc", "Data\\Main.QXC"));
    EXPECT_TRUE(FtpPatternMatches("l?st.*", "LIST.INF"));
    EXPECT_TRUE(FtpPatternMatches("a*b*c", "aXXbYYbZc"));
    EXPECT_FALSE(FtpPatternMatches("*.qxc", "main.qxc.bak"));
    EXPECT_FALSE(FtpPatternMatches("l?st.inf", "lst.inf"));
}

} // namespace
} // namespace tarnvale::platform
