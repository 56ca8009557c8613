#include "msg/MessageSource.h"
#include "msg/MessageFile.h"
#include "support/TestSupport.h"

namespace tarnvale::msg {
namespace {

TEST(MessageSource, DefaultTextsCoverEveryIdentifierAndRoundTrip) {
    const std::string source = test::ReadFile(TARNVALE_SOURCE_DIR "/res/messages.txt");
    std::vector<MessageFileRecord> records;
    SourceError error;
    ASSERT_TRUE(ParseMessageSource(source, records, error)) << error.line << ": " << error.what;

    const int expected[] = {102, 107, 108, 109, 112, 113, 114, 116, 119, 120,  121,  122,
                            123, 125, 126, 127, 128, 131, 132, 133, 134, 135,  136,  137,
                            138, 141, 142, 143, 144, 146, 151, 200, 201, 2000, 2001, 2003};
    for (int id : expected) {
        const bool present = std::any_of(records.begin(), records.end(), [&](const auto& r) {
            return r.id == id && !r.text.empty();
        });
        EXPECT_TRUE(present) << "no default text for " << id;
    }

    const MessageFile file = ParseMessageFile(SerializeMessageFile(records, 0x6D), 0x6D);
    EXPECT_EQ(file.status, MessageFileStatus::Ok);
    EXPECT_EQ(FormatMessageSource(file.records), source);
}

TEST(MessageSource, EscapesAndBytesRoundTrip) {
    const std::string source = "1\ta\\tb\\nc\\\\d \xb5\xc7\\r\n-32768\t\n";
    std::vector<MessageFileRecord> records;
    SourceError error;
    ASSERT_TRUE(ParseMessageSource(source, records, error));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "a\tb\nc\\d \xb5\xc7\r");
    EXPECT_EQ(records[1].id, -32768);
    EXPECT_EQ(records[1].text, "");
    EXPECT_EQ(FormatMessageSource(records), source);
}

// A source saved with Windows line ends reads as the same texts, without the
// carriage returns; an identifier defined twice would lose one of its texts.
TEST(MessageSource, WindowsLineEndsAndDuplicateIdentifiers) {
    std::vector<MessageFileRecord> records;
    SourceError error;
    ASSERT_TRUE(ParseMessageSource("1\tone\r\n\r\n2\ttwo\r\n", records, error)) << error.what;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "one");
    EXPECT_EQ(records[1].text, "two");

    EXPECT_FALSE(ParseMessageSource("5\ta\n6\tb\n5\tc\n", records, error));
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.what, "identifier 5 is already defined on line 1");
}

TEST(MessageSource, BadLinesNameTheirLine) {
    struct Case {
        const char* source;
        int line;
    } cases[] = {{"1\tok\n\nx\tbad\n", 3}, {"1\tok\n2 no tab\n", 2}, {"32768\tx\n", 1},
                 {"1\tend\\\n", 1},        {"1\t\\x\n", 1},          {"+1\tx\n", 1}};
    for (const Case& c : cases) {
        std::vector<MessageFileRecord> records;
        SourceError error;
        EXPECT_FALSE(ParseMessageSource(c.source, records, error)) << c.source;
        EXPECT_EQ(error.line, c.line) << c.source;
        EXPECT_FALSE(error.what.empty());
    }
    std::vector<MessageFileRecord> records;
    SourceError error;
    EXPECT_FALSE(ParseMessageSource("1\t" + std::string(256, 'a'), records, error));
    EXPECT_TRUE(ParseMessageSource("1\t" + std::string(255, 'a'), records, error));
    EXPECT_FALSE(ParseMessageSource("\n\n", records, error)) << "a table needs a record";
}

} // namespace
} // namespace tarnvale::msg
