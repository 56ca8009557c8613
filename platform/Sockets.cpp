#include "platform/Sockets.h"

namespace tarnvale::platform {

std::string ListenTarget(const char* bindAddress, std::uint16_t port) {
    if (bindAddress == nullptr || *bindAddress == '\0')
        return "port " + std::to_string(port) + " of every address";
    return std::string(bindAddress) + " port " + std::to_string(port);
}

} // namespace tarnvale::platform
