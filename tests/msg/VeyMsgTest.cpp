#include "msg/VeyMsg.h"
#include "msg/MessageFile.h"
#include "support/TestSupport.h"

#include <cstring>

namespace tarnvale {
namespace {

using msg::MessageFileRecord;
using msg::MessageFileStatus;

constexpr std::uint8_t kKey = 0x6D;

std::string Header(std::uint8_t signature, std::uint8_t version, std::int32_t count) {
    std::string h(28, '\0');
    h[0] = static_cast<char>(signature);
    h[1] = static_cast<char>(version);
    std::memcpy(&h[24], &count, 4);
    return h;
}

std::string RawRecord(std::int16_t id, std::int16_t length, const std::string& text) {
    std::string r(4, '\0');
    std::memcpy(&r[0], &id, 2);
    std::memcpy(&r[2], &length, 2);
    for (char c : text)
        r += static_cast<char>(c ^ kKey);
    return r;
}

class VeyMsgTest : public test::TempDirTest {
  protected:
    MessageFileStatus LoadBytes(const std::string& bytes) {
        test::WriteFile("message.wtf", bytes);
        MessageTableLoad load = table.Load("message.wtf");
        shown = load.boxes;
        return load.status;
    }
    MessageFileStatus LoadRecords(const std::vector<MessageFileRecord>& records) {
        return LoadBytes(msg::SerializeMessageFile(records, kKey));
    }

    std::vector<MessageBoxRequest> shown; // the boxes of the last load
    VeyMsg table;
};

TEST_F(VeyMsgTest, EachLoadFailureShowsItsBoxAndLeavesItsTable) {
    struct Case {
        const char* what;
        std::string bytes; // empty: no file at all
        const char* box;
        bool loaded;
    } cases[] = {
        {"missing file", "",
         "message.wtf \xc6\xc4\xc0\xcf\xc0\xcc \xc1\xb8\xc0\xe7\xc7\xcf\xc1\xf6 \xbe\xca\xbd\xc0"
         "\xb4\xcf\xb4\xd9.",
         false},
        {"bad signature", Header(0xCD, 1, 1) + RawRecord(1, 1, "a"),
         "TextCode \xb5\xa5\xc0\xcc\xc5\xcd\xb0\xa1 \xbe\xc6\xb4\xd5\xb4\xcf\xb4\xd9.", true},
        {"short header", std::string("\xcc\x01", 2),
         "TextCode \xb5\xa5\xc0\xcc\xc5\xcd\xb0\xa1 \xbe\xc6\xb4\xd5\xb4\xcf\xb4\xd9.", true},
        {"bad version", Header(0xCC, 2, 1) + RawRecord(1, 1, "a"),
         "\xc1\xf6\xbf\xf8\xc7\xcf\xc1\xf6 \xbe\xca\xb4\xc2 \xb9\xf6\xc1\xaf \xb5\xa5\xc0\xcc\xc5"
         "\xcd \xc0\xd4\xb4\xcf\xb4\xd9.",
         true},
        {"zero count", Header(0xCC, 1, 0),
         "\xc0\xd0\xb4\xc2\xc1\xdf \xb5\xa5\xc0\xcc\xc5\xcd\xc0\xc7 \xb0\xb3\xbc\xf6 \xbf\xa1\xb7"
         "\xaf \xc0\xd4\xb4\xcf\xb4\xd9.",
         true},
        {"negative count", Header(0xCC, 1, -5),
         "\xc0\xd0\xb4\xc2\xc1\xdf \xb5\xa5\xc0\xcc\xc5\xcd\xc0\xc7 \xb0\xb3\xbc\xf6 \xbf\xa1\xb7"
         "\xaf \xc0\xd4\xb4\xcf\xb4\xd9.",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("message.wtf");
        shown.clear();
        if (!c.bytes.empty())
            test::WriteFile("message.wtf", c.bytes);
        shown = table.Load("message.wtf").boxes;
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.box);
        EXPECT_EQ(shown[0].caption, "Error");
        EXPECT_EQ(shown[0].type, 0u);
        EXPECT_EQ(shown[0].codePage, platform::TextCodePage::kDeveloper);
        EXPECT_EQ(table.IsLoaded(), c.loaded);
        EXPECT_TRUE(table.Records().empty());
        EXPECT_STREQ(table.GetText(1), "Msg error");
    }
}

TEST_F(VeyMsgTest, IdentifiersOutsideTheIndexAreKeptAndFound) {
    LoadRecords({{5, "five"}, {32767, "top"}, {-2, "negative"}});
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, "message index table make error!!");
        EXPECT_EQ(box.caption, "Error");
    }
    EXPECT_STREQ(table.GetText(32767), "top");
    EXPECT_STREQ(table.GetText(-2), "negative");
    EXPECT_STREQ(table.GetText(5), "five");
}

TEST_F(VeyMsgTest, LookupRules) {
    const std::string longest(255, 'x');
    LoadRecords({{7, ""},
                 {3, "first"},
                 {4, "old"},
                 {4, "new"},
                 {9, longest},
                 {10, std::string("cut\0off", 7)}});
    EXPECT_TRUE(shown.empty()) << "an empty text is skipped silently";
    EXPECT_STREQ(table.GetText(4), "new") << "a later record replaces an earlier one";
    EXPECT_EQ(table.GetText(9), longest);
    EXPECT_STREQ(table.GetText(10), "cut") << "a byte that descrambles to zero ends the text";
    EXPECT_STREQ(table.GetText(7), "first") << "the empty record was never added";
    EXPECT_STREQ(table.GetText(999), "first") << "missing ids give the first text of the file";
    EXPECT_STREQ(table.GetText(-77), "first");
    EXPECT_STREQ(table.GetText(40000), "first");
    ASSERT_EQ(table.Records().size(), 5u);
}

TEST_F(VeyMsgTest, OnlyEmptyTextsGiveTheDefaultText) {
    LoadRecords({{1, ""}, {2, ""}});
    EXPECT_TRUE(table.IsLoaded());
    EXPECT_STREQ(table.GetText(1), "Msg error");
    EXPECT_STREQ(table.GetText(500), "Msg error");
}

TEST_F(VeyMsgTest, DamagedStreamKeepsTheRecordsBeforeTheDamage) {
    // Announces three records but ends inside the second.
    std::string bytes = Header(0xCC, 1, 3) + RawRecord(1, 3, "one") + RawRecord(2, 5, "tw");
    EXPECT_EQ(LoadBytes(bytes), MessageFileStatus::Truncated);
    EXPECT_STREQ(table.GetText(1), "one");
    EXPECT_STREQ(table.GetText(2), "one");

    // A stored length the text buffer cannot hold stops loading: nothing after it
    // is read, so no garbage records appear.
    for (std::int16_t length : {std::int16_t{256}, std::int16_t{-1}, std::int16_t{32767}}) {
        bytes = Header(0xCC, 1, 3) + RawRecord(1, 3, "one") + RawRecord(2, length, "") +
                std::string(300, 'z') + RawRecord(3, 5, "three");
        EXPECT_EQ(LoadBytes(bytes), MessageFileStatus::BadLength) << length;
        ASSERT_EQ(table.Records().size(), 1u) << length;
        EXPECT_STREQ(table.GetText(3), "one");
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(VeyMsgTest, ReloadReplacesAndClearEmpties) {
    LoadRecords({{1, "a"}, {2, "b"}});
    LoadRecords({{2, "c"}});
    EXPECT_STREQ(table.GetText(2), "c");
    EXPECT_STREQ(table.GetText(1), "c") << "records of the first file are gone";
    table.Clear();
    EXPECT_FALSE(table.IsLoaded());
    EXPECT_STREQ(table.GetText(2), "Msg error");
}

TEST(VeyMsgUnloaded, EveryLookupIsTheDefaultText) {
    VeyMsg table;
    EXPECT_STREQ(table.GetText(0), "Msg error");
    EXPECT_STREQ(table.GetText(-1), "Msg error");
    EXPECT_STREQ(table.GetText(32767), "Msg error");
}

} // namespace
} // namespace tarnvale
