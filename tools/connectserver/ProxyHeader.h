#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The PROXY protocol header (versions 1 and 2) that a load balancer in TCP mode
// puts before the launcher's bytes, so that the server sees the player's address
// rather than the balancer's.
namespace tarnvale::connectserver {

// Longer headers are refused: version 1 is at most 107 bytes, and a version 2
// header carrying an address and a few extensions stays well under this.
inline constexpr std::size_t kMaxProxyHeader = 232;

struct ProxyHeader {
    enum class Status {
        NeedMore, // the bytes so far begin a header; read more
        Invalid,  // not a header, or a broken one; `error` says why
        Done,     // `length` bytes are the header
    };
    Status status = Status::NeedMore;
    std::size_t length = 0;
    // The balancer speaking for itself (a health check, version 2 LOCAL, or a
    // version 1 UNKNOWN): no player address, the connection's own one stands.
    bool local = false;
    std::string source; // the player's address as text, when not local
    std::uint16_t sourcePort = 0;
    std::string error;
};

// Reads a header from the first `size` received bytes.
ProxyHeader ParseProxyHeader(const std::uint8_t* data, std::size_t size);

} // namespace tarnvale::connectserver
