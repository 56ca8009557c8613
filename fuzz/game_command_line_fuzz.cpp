// Decodes arbitrary bytes as the game client's command line, as the demo game
// client does with whatever it was started with.
#include "launch/ConnectionParameters.h"
#include "launch/GameStart.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const tarnvale::ParamKey key = tarnvale::BuildParamKey();
    std::string address, port;
    if (!tarnvale::DecodeGameCommandLine(line, key, address, port))
        return 0;
    if (port.empty() || port.size() > 5)
        __builtin_trap();
    // A decoded pair, built again, decodes to itself.
    std::string address2, port2;
    if (!tarnvale::DecodeGameCommandLine(tarnvale::BuildGameCommandLine(address, port, key), key,
                                         address2, port2) ||
        address2 != address || port2 != port)
        __builtin_trap();
    return 0;
}
