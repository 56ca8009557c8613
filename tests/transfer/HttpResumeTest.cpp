// Whether an answer continues a partial download: the rules both HTTP clients
// follow.
#include "platform/HttpResume.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnvale::platform {
namespace {

HttpResponseHead Head(const std::vector<std::string>& lines) {
    HttpResponseHead head;
    for (const std::string& line : lines)
        AddHeaderLine(head, line + "\r\n");
    return head;
}

TEST(HttpResumeTest, AnAnswerContinuesOnlyTheSameCopyFromItsFirstMissingByte) {
    const HttpValidator copy{"\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT", 1000};
    struct Case {
        const char* name;
        std::vector<std::string> head;
        std::uint64_t have;
        HttpResumeStep step;
    };
    const std::vector<Case> cases = {
        {"the rest",
         {"HTTP/1.1 206 Partial", "Content-Range: bytes 400-999/1000"},
         400,
         HttpResumeStep::Append},
        {"the rest, same tag named",
         {"HTTP/1.1 206 P", "ETag: \"v1\"", "Content-Range: bytes 400-999/1000"},
         400,
         HttpResumeStep::Append},
        {"another tag",
         {"HTTP/1.1 206 P", "ETag: \"v2\"", "Content-Range: bytes 400-999/1000"},
         400,
         HttpResumeStep::Discard},
        {"another start",
         {"HTTP/1.1 206 P", "Content-Range: bytes 300-999/1000"},
         400,
         HttpResumeStep::Discard},
        {"another length",
         {"HTTP/1.1 206 P", "Content-Range: bytes 400-1999/2000"},
         400,
         HttpResumeStep::Discard},
        {"not to the end",
         {"HTTP/1.1 206 P", "Content-Range: bytes 400-500/1000"},
         400,
         HttpResumeStep::Discard},
        {"no range named", {"HTTP/1.1 206 P"}, 400, HttpResumeStep::Discard},
        {"the whole file",
         {"HTTP/1.1 200 OK", "Content-Length: 1000"},
         400,
         HttpResumeStep::StartOver},
        {"after a redirect",
         {"HTTP/1.1 302 Found", "ETag: \"x\"", "HTTP/1.1 200 OK"},
         0,
         HttpResumeStep::StartOver},
        {"a range past the end",
         {"HTTP/1.1 416 Range Not Satisfiable"},
         400,
         HttpResumeStep::Discard},
        {"missing", {"HTTP/1.1 404 Not Found"}, 400, HttpResumeStep::Fail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideResume(Head(c.head), c.have, copy), c.step) << c.name;
}

TEST(HttpResumeTest, AWholeAnswerNamesItsCopyWithAStrongTagOnly) {
    HttpValidator copy = ValidatorOf(
        Head({"HTTP/1.1 200 OK", "etag: \"abc\"", "Last-Modified: Mon", "content-length: 12"}));
    EXPECT_EQ(copy.IfRange(), "\"abc\"");
    EXPECT_EQ(copy.length, 12u);
    EXPECT_TRUE(copy.Usable());
    copy = ValidatorOf(Head({"HTTP/1.1 200 OK", "ETag: W/\"abc\"", "Content-Length: 12"}));
    EXPECT_FALSE(copy.Usable()) << "a weak tag cannot ask for a range, and there is no date";
    copy = ValidatorOf(Head({"HTTP/1.1 200 OK", "ETag: \"abc\""}));
    EXPECT_FALSE(copy.Usable()) << "no length";
}

TEST(HttpResumeTest, ContentRangesAreReadStrictly) {
    std::uint64_t first = 0, last = 0, total = 0;
    EXPECT_TRUE(ParseContentRange("bytes 0-9/10", first, last, total));
    EXPECT_EQ(total, 10u);
    for (const char* bad : {"bytes 0-9/*", "bytes */10", "bytes 9-0/10", "bytes 0-10/10",
                            "items 0-9/10", "bytes 0-9/10x", "bytes -9/10"})
        EXPECT_FALSE(ParseContentRange(bad, first, last, total)) << bad;
}

} // namespace
} // namespace tarnvale::platform
