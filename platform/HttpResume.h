#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Continuing an HTTP download where an earlier try stopped: what identifies the
// server's copy of a file, and whether an answer continues a partial copy. The
// rules are the same on every system; the clients (libcurl on POSIX, WinINet on
// Windows) only carry the requests and answers.
namespace tarnvale::platform {

// What identifies one copy of a file on an HTTP server: its entity tag and its
// modification date, as the server sent them, and its length. A weak entity tag
// ("W/...") cannot ask for a range and is not kept.
struct HttpValidator {
    std::string etag;
    std::string lastModified;
    std::uint64_t length = 0;

    // Whether a partial copy can be continued: the server named the copy and
    // its length.
    bool Usable() const { return length > 0 && (!etag.empty() || !lastModified.empty()); }
    // The If-Range value: the entity tag, else the date.
    const std::string& IfRange() const { return etag.empty() ? lastModified : etag; }
};

// The head of the last answer to a request, collected line by line.
struct HttpResponseHead {
    long status = 0;
    std::string etag;
    std::string lastModified;
    std::string contentRange;
    bool hasLength = false;
    std::uint64_t contentLength = 0;
};

// A decimal number that is the whole of `text` (a header's or a record's value).
bool ReadDecimal(std::string_view text, std::uint64_t& value);

// Adds one line of an answer's head ("HTTP/1.1 206 Partial Content", "ETag:
// ...", with or without its line end). A status line starts a new head, so that
// after a redirect only the last answer's headers count.
void AddHeaderLine(HttpResponseHead& head, std::string_view line);

// The copy a whole answer (200) delivers.
HttpValidator ValidatorOf(const HttpResponseHead& head);

// Reads "bytes FIRST-LAST/TOTAL"; false for anything else, "*" totals included.
bool ParseContentRange(std::string_view value, std::uint64_t& first, std::uint64_t& last,
                       std::uint64_t& total);

// What to do with an answer to a request that asked for the rest of a partial
// copy of `have` bytes of the copy `partial` (or for the whole file, when have
// is 0).
enum class HttpResumeStep {
    Append,    // 206 for exactly the rest of the same copy: append the body
    StartOver, // 200, the whole file (another copy, or a server without ranges)
    Discard,   // 206 or 416 that does not continue the partial: ask for all again
    Fail,      // any other answer
};
HttpResumeStep DecideResume(const HttpResponseHead& head, std::uint64_t have,
                            const HttpValidator& partial);

} // namespace tarnvale::platform
