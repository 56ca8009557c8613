#include "tools/connectserver/ProxyHeader.h"

#include "tools/connectserver/ConfigValues.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace tarnvale::connectserver {
namespace {

using Status = ProxyHeader::Status;

constexpr std::uint8_t kV2Signature[12] = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D,
                                           0x0A, 0x51, 0x55, 0x49, 0x54, 0x0A};
constexpr char kV1Prefix[] = "PROXY ";
constexpr std::size_t kV1MaxLength = 107;

ProxyHeader Invalid(const std::string& why) {
    ProxyHeader header;
    header.status = Status::Invalid;
    header.error = why;
    return header;
}

bool Ipv6Text(std::string_view text) {
    return !text.empty() && text.size() <= 45 && text.find(':') != std::string_view::npos &&
           text.find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t space = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    return words;
}

// "PROXY TCP4 src dst sport dport\r\n", TCP6 likewise, or "PROXY UNKNOWN ...\r\n".
ProxyHeader ParseV1(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), std::min(size, kV1MaxLength));
    const std::size_t end = text.find("\r\n");
    if (end == std::string_view::npos)
        return size >= kV1MaxLength ? Invalid("PROXY header line longer than 107 bytes")
                                    : ProxyHeader{};
    const std::vector<std::string_view> words = Words(text.substr(6, end - 6));
    ProxyHeader header;
    header.status = Status::Done;
    header.length = end + 2;
    if (words[0] == "UNKNOWN") {
        header.local = true;
        return header;
    }
    unsigned long sourcePort = 0, destinationPort = 0;
    const bool v4 = words[0] == "TCP4";
    if ((!v4 && words[0] != "TCP6") || words.size() != 5)
        return Invalid("PROXY header line is not TCP4, TCP6 or UNKNOWN with four fields");
    if (v4 ? !values::IsDottedIpv4(words[1]) || !values::IsDottedIpv4(words[2])
           : !Ipv6Text(words[1]) || !Ipv6Text(words[2]))
        return Invalid("PROXY header line carries a malformed address");
    if (!values::ParsePlainNumber(words[3], 65535, sourcePort) ||
        !values::ParsePlainNumber(words[4], 65535, destinationPort))
        return Invalid("PROXY header line carries a malformed port");
    header.source = std::string(words[1]);
    header.sourcePort = static_cast<std::uint16_t>(sourcePort);
    return header;
}

std::string Ipv6FromBytes(const std::uint8_t* bytes) {
    std::string text;
    for (int i = 0; i < 8; ++i) {
        char group[8];
        std::snprintf(group, sizeof group, i == 0 ? "%x" : ":%x",
                      bytes[2 * i] << 8 | bytes[2 * i + 1]);
        text += group;
    }
    return text;
}

// 12 signature bytes, version and command, family and transport, a big-endian
// length of what follows, then the addresses and any extensions.
ProxyHeader ParseV2(const std::uint8_t* data, std::size_t size) {
    if (size < 16)
        return ProxyHeader{};
    const std::size_t length = 16 + (static_cast<std::size_t>(data[14]) << 8 | data[15]);
    if ((data[12] & 0xF0) != 0x20)
        return Invalid("PROXY header of an unknown version");
    const unsigned command = data[12] & 0x0F;
    if (command > 1)
        return Invalid("PROXY header with an unknown command");
    if (length > kMaxProxyHeader)
        return Invalid("PROXY header longer than " + std::to_string(kMaxProxyHeader) + " bytes");
    if (size < length)
        return ProxyHeader{};
    ProxyHeader header;
    header.status = Status::Done;
    header.length = length;
    const std::uint8_t* address = data + 16;
    const unsigned family = data[13];
    if (command == 0 || (family != 0x11 && family != 0x21)) {
        // LOCAL, or a family other than TCP over IPv4 or IPv6: the balancer's own.
        header.local = true;
    } else if (family == 0x11 && length >= 16 + 12) {
        header.source = std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
                        std::to_string(address[2]) + "." + std::to_string(address[3]);
        header.sourcePort = static_cast<std::uint16_t>(address[8] << 8 | address[9]);
    } else if (family == 0x21 && length >= 16 + 36) {
        header.source = Ipv6FromBytes(address);
        header.sourcePort = static_cast<std::uint16_t>(address[32] << 8 | address[33]);
    } else {
        return Invalid("PROXY header too short for its addresses");
    }
    return header;
}

} // namespace

ProxyHeader ParseProxyHeader(const std::uint8_t* data, std::size_t size) {
    const std::size_t v1 = std::min(size, sizeof kV1Prefix - 1);
    if (size > 0 && std::memcmp(data, kV1Prefix, v1) == 0)
        return v1 < sizeof kV1Prefix - 1 ? ProxyHeader{} : ParseV1(data, size);
    const std::size_t v2 = std::min(size, sizeof kV2Signature);
    if (size > 0 && std::memcmp(data, kV2Signature, v2) == 0)
        return v2 < sizeof kV2Signature ? ProxyHeader{} : ParseV2(data, size);
    return size == 0 ? ProxyHeader{} : Invalid("no PROXY header where one was expected");
}

} // namespace tarnvale::connectserver
