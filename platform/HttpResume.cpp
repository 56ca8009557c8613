#include "platform/HttpResume.h"

#include "platform/Names.h"

#include <cctype>
#include <charconv>

namespace tarnvale::platform {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool ReadDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

void AddHeaderLine(HttpResponseHead& head, std::string_view line) {
    line = Trimmed(line);
    if (line.substr(0, 5) == "HTTP/") {
        head = {};
        const std::size_t space = line.find(' ');
        std::uint64_t status = 0;
        if (space != std::string_view::npos && ReadDecimal(line.substr(space + 1, 3), status))
            head.status = static_cast<long>(status);
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = Trimmed(line.substr(0, colon));
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (NamesEqual(name, "etag"))
        head.etag = value;
    else if (NamesEqual(name, "last-modified"))
        head.lastModified = value;
    else if (NamesEqual(name, "content-range"))
        head.contentRange = value;
    else if (NamesEqual(name, "content-length"))
        head.hasLength = ReadDecimal(value, head.contentLength);
}

HttpValidator ValidatorOf(const HttpResponseHead& head) {
    HttpValidator validator;
    if (head.etag.substr(0, 2) != "W/")
        validator.etag = head.etag;
    validator.lastModified = head.lastModified;
    validator.length = head.hasLength ? head.contentLength : 0;
    return validator;
}

bool ParseContentRange(std::string_view value, std::uint64_t& first, std::uint64_t& last,
                       std::uint64_t& total) {
    value = Trimmed(value);
    if (value.substr(0, 6) != "bytes ")
        return false;
    value.remove_prefix(6);
    const std::size_t dash = value.find('-');
    const std::size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return false;
    return ReadDecimal(value.substr(0, dash), first) &&
           ReadDecimal(value.substr(dash + 1, slash - dash - 1), last) &&
           ReadDecimal(value.substr(slash + 1), total) && first <= last && last < total;
}

HttpResumeStep DecideResume(const HttpResponseHead& head, std::uint64_t have,
                            const HttpValidator& partial) {
    if (head.status == 200)
        return HttpResumeStep::StartOver;
    if (head.status == 416)
        return have > 0 ? HttpResumeStep::Discard : HttpResumeStep::Fail;
    if (head.status != 206)
        return HttpResumeStep::Fail;
    // The rest of the same copy: from the first missing byte to the end of a
    // file of the length the partial was taken from.
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t total = 0;
    // A server that ignores If-Range and names another copy is not believed.
    const bool sameCopy = (head.etag.empty() || head.etag == partial.etag) &&
                          (head.lastModified.empty() || head.lastModified == partial.lastModified);
    if (have > 0 && sameCopy && ParseContentRange(head.contentRange, first, last, total) &&
        first == have && last + 1 == total && total == partial.length)
        return HttpResumeStep::Append;
    return HttpResumeStep::Discard;
}

} // namespace tarnvale::platform
