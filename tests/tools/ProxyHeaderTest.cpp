// The PROXY protocol header a load balancer puts before the launcher's bytes.
#include "tools/connectserver/ProxyHeader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnvale {
namespace {

using connectserver::ParseProxyHeader;
using Status = connectserver::ProxyHeader::Status;
using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A version 2 header: command (0 LOCAL, 1 PROXY), family, and the address block.
Bytes V2(std::uint8_t command, std::uint8_t family, const Bytes& addresses) {
    Bytes header = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D, 0x0A, 0x51, 0x55, 0x49, 0x54, 0x0A};
    header.push_back(static_cast<std::uint8_t>(0x20 | command));
    header.push_back(family);
    header.push_back(static_cast<std::uint8_t>(addresses.size() >> 8));
    header.push_back(static_cast<std::uint8_t>(addresses.size() & 0xFF));
    header.insert(header.end(), addresses.begin(), addresses.end());
    return header;
}

const Bytes kV4Addresses = {203, 0, 113, 7, 10, 0, 0, 1, 0xC3, 0x50, 0xAD, 0x75};

TEST(ProxyHeader, ReadsWhatBalancersSend) {
    Bytes v6(36, 0);
    v6[0] = 0x20;
    v6[1] = 0x01;
    v6[2] = 0x0d;
    v6[3] = 0xb8;
    v6[15] = 0x09;
    v6[32] = 0x04;
    v6[33] = 0xD2;
    Bytes withExtension = kV4Addresses;
    withExtension.insert(withExtension.end(), {0x04, 0x00, 0x01, 0x00}); // a NOOP extension
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t length;
        bool local;
        std::string source;
        std::uint16_t port;
    } cases[] = {
        {"v1 TCP4", Text("PROXY TCP4 203.0.113.7 10.0.0.1 50000 44405\r\n"), 45, false,
         "203.0.113.7", 50000},
        {"v1 TCP6", Text("PROXY TCP6 2001:db8::9 2001:db8::1 1234 44405\r\n"), 47, false,
         "2001:db8::9", 1234},
        {"v1 UNKNOWN", Text("PROXY UNKNOWN\r\n"), 15, true, "", 0},
        {"v1 UNKNOWN with fields", Text("PROXY UNKNOWN a b 1 2\r\n"), 23, true, "", 0},
        {"v2 TCP4", V2(1, 0x11, kV4Addresses), 28, false, "203.0.113.7", 50000},
        {"v2 TCP4 with an extension", V2(1, 0x11, withExtension), 32, false, "203.0.113.7", 50000},
        {"v2 TCP6", V2(1, 0x21, v6), 52, false, "2001:db8:0:0:0:0:0:9", 1234},
        {"v2 LOCAL", V2(0, 0x00, {}), 16, true, "", 0},
        {"v2 UDP", V2(1, 0x12, kV4Addresses), 28, true, "", 0},
    };
    for (const Case& c : cases) {
        Bytes bytes = c.bytes;
        bytes.insert(bytes.end(), {0xC1, 0x03, 0x09}); // the launcher's first packet
        const auto header = ParseProxyHeader(bytes.data(), bytes.size());
        ASSERT_EQ(header.status, Status::Done) << c.what << ": " << header.error;
        EXPECT_EQ(header.length, c.length) << c.what;
        EXPECT_EQ(header.local, c.local) << c.what;
        EXPECT_EQ(header.source, c.source) << c.what;
        EXPECT_EQ(header.sourcePort, c.port) << c.what;
        // Every shorter prefix asks for more.
        for (std::size_t n = 0; n < c.length; ++n)
            EXPECT_EQ(ParseProxyHeader(bytes.data(), n).status, Status::NeedMore)
                << c.what << " cut at " << n;
    }
}

TEST(ProxyHeader, RefusesWhatIsNoHeader) {
    Bytes tooLong = V2(1, 0x11, Bytes(300, 0));
    Bytes badVersion = V2(1, 0x11, kV4Addresses);
    badVersion[12] = 0x31;
    struct Case {
        const char* what;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"a launcher's packet", {0xC1, 0x03, 0x09}, "no PROXY header"},
        {"lower case", Text("proxy TCP4 1.2.3.4 1.2.3.5 1 2\r\n"), "no PROXY header"},
        {"unknown protocol", Text("PROXY UDP4 1.2.3.4 1.2.3.5 1 2\r\n"), "not TCP4"},
        {"missing field", Text("PROXY TCP4 1.2.3.4 1.2.3.5 1\r\n"), "not TCP4"},
        {"bad address", Text("PROXY TCP4 1.2.3.400 1.2.3.5 1 2\r\n"), "malformed address"},
        {"leading zero", Text("PROXY TCP4 1.2.3.04 1.2.3.5 1 2\r\n"), "malformed address"},
        {"five parts", Text("PROXY TCP4 1.2.3.4.5 1.2.3.5 1 2\r\n"), "malformed address"},
        {"v6 address as v4", Text("PROXY TCP4 ::1 1.2.3.5 1 2\r\n"), "malformed address"},
        {"port too big", Text("PROXY TCP4 1.2.3.4 1.2.3.5 65536 2\r\n"), "malformed port"},
        {"port with a leading zero", Text("PROXY TCP4 1.2.3.4 1.2.3.5 01 2\r\n"), "malformed port"},
        {"port with a sign", Text("PROXY TCP4 1.2.3.4 1.2.3.5 +1 2\r\n"), "malformed port"},
        {"no line end", Text("PROXY TCP4 " + std::string(100, '1')), "longer than 107"},
        {"v2 too long", tooLong, "longer than"},
        {"v2 version 3", badVersion, "unknown version"},
        {"v2 TCP4 too short", V2(1, 0x11, Bytes(8, 0)), "too short"},
        {"v2 command 2", V2(2, 0x11, kV4Addresses), "unknown command"},
    };
    for (const Case& c : cases) {
        const auto header = ParseProxyHeader(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(header.status, Status::Invalid) << c.what;
        EXPECT_NE(header.error.find(c.error), std::string::npos) << c.what << ": " << header.error;
    }
}

} // namespace
} // namespace tarnvale
