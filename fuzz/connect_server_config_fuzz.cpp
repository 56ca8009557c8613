// Reads arbitrary text as a tarnvale-connect-server configuration file.
#include "tools/connectserver/ConfigReader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnvale;
    connectserver::Config config;
    std::string error;
    const bool ok = connectserver::ParseConfig(
        std::string_view(reinterpret_cast<const char*>(data), size), config, error);
    if (!ok && error.empty())
        __builtin_trap(); // every refusal says why
    if (ok) {
        // Everything a valid file fills must fit its wire field with a terminator.
        if (std::strlen(config.update.serverAddress) >= sizeof config.update.serverAddress)
            __builtin_trap();
        for (const PartitionEntry& entry : config.partitions)
            if (std::strlen(entry.name) >= 32 || std::strlen(entry.address) >= 16)
                __builtin_trap();
    }
    return 0;
}
