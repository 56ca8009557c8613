#include "transport/PacketFraming.h"

namespace tarnvale::proto {

int DeclaredSize(const std::uint8_t* packet) {
    if (packet[0] == kShortHeader)
        return packet[1];
    if (packet[0] == kLongHeader)
        return packet[1] * 256 + packet[2];
    return -1;
}

int HeaderLength(const std::uint8_t* packet) {
    return packet[0] == kLongHeader ? 4 : 3;
}

} // namespace tarnvale::proto
