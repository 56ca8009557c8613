// The FTP listing reader takes whatever a server sends as its LIST reply.
#include "platform/FtpClient.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<tarnvale::platform::FtpEntry> entries;
    std::size_t skipped = 0;
    tarnvale::platform::ParseFtpListing(text, entries, skipped);
    for (const auto& entry : entries) {
        if (entry.name.empty() || entry.name.size() > tarnvale::platform::kFtpMaxNameLength)
            __builtin_trap();
        tarnvale::platform::FtpPatternMatches("*.q?c", entry.name);
    }
    return 0;
}
