// The head of an HTTP answer, line by line, as a resumed download reads it: no
// crash, and a partial is continued only for a range that starts at its first
// missing byte and ends at the end of a copy of its length.
#include "platform/HttpResume.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tarnvale::platform::HttpResponseHead head;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        tarnvale::platform::AddHeaderLine(head, text.substr(start, end - start));
        start = end + 1;
    }
    const tarnvale::platform::HttpValidator partial{"\"t\"", "", 1000};
    if (tarnvale::platform::DecideResume(head, 400, partial) ==
        tarnvale::platform::HttpResumeStep::Append) {
        std::uint64_t first = 0, last = 0, total = 0;
        if (!tarnvale::platform::ParseContentRange(head.contentRange, first, last, total) ||
            first != 400 || last != 999 || total != 1000)
            std::abort();
    }
    (void)tarnvale::platform::ValidatorOf(head).Usable();
    return 0;
}
