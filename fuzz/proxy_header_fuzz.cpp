// Reads arbitrary bytes as the PROXY protocol header a load balancer puts before
// a launcher's bytes, as the connect server does with proxy_protocol = yes.
#include "tools/connectserver/ProxyHeader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnvale::connectserver;
    using Status = ProxyHeader::Status;
    const ProxyHeader header = ParseProxyHeader(data, size);
    switch (header.status) {
    case Status::Invalid:
        if (header.error.empty())
            __builtin_trap(); // every refusal says why
        break;
    case Status::NeedMore:
        // The server's buffer holds kMaxProxyHeader bytes and more: a header
        // must be decided before it fills.
        if (size >= kMaxProxyHeader)
            __builtin_trap();
        break;
    case Status::Done: {
        if (header.length == 0 || header.length > size || header.length > kMaxProxyHeader)
            __builtin_trap();
        if (header.local != header.source.empty() || header.source.size() > 45)
            __builtin_trap();
        // The header alone reads the same as the header with what follows it.
        const ProxyHeader alone = ParseProxyHeader(data, header.length);
        if (alone.status != Status::Done || alone.length != header.length ||
            alone.source != header.source || alone.sourcePort != header.sourcePort)
            __builtin_trap();
        break;
    }
    }
    return 0;
}
