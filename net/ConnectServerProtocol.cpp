#include "net/ConnectServerProtocol.h"

#include "tarnvale/settings.h"

#include <algorithm>
#include <cstring>

namespace tarnvale::proto {

std::uint8_t PacketType(const std::uint8_t* packet) {
    return packet[0] == kLongHeader ? packet[3] : packet[2];
}

void XorFieldKey(std::uint8_t* field, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        field[i] ^= settings::kFieldKey[i % 3];
}

void XorFieldKey(char* field, std::size_t width) {
    XorFieldKey(reinterpret_cast<std::uint8_t*>(field), width);
}

namespace {

// The address count of types 3 and 8 is a signed byte; a negative count lists
// nothing, and addresses beyond the 64th are not looked at.
int ListedAddresses(const std::uint8_t* packet, int length, int listOffset) {
    if (length < listOffset + 2)
        return 0;
    const int count = static_cast<std::int8_t>(packet[listOffset + 1]);
    return std::clamp(count, 0, kMaxListedAddresses);
}

} // namespace

int MinimumLength(const std::uint8_t* packet, int length) {
    switch (PacketType(packet)) {
    case kWelcome:
        return kWelcomeLength;
    case kUpToDate:
        return HeaderLength(packet);
    case kUpToDateWithList:
        return kUpToDateListOffset + 2 + 4 * ListedAddresses(packet, length, kUpToDateListOffset);
    case kHttpUpdateInfo:
    case kFtpUpdateInfo:
        return kUpdateInfoLength;
    case kFtpUpdateInfoWithList:
        return kFtpListOffset + 2 + 4 * ListedAddresses(packet, length, kFtpListOffset);
    case kPartitionList:
        return kPartitionListLength;
    default:
        return 0;
    }
}

std::vector<std::uint8_t> NewPacket(std::uint8_t type, int length) {
    std::vector<std::uint8_t> packet(static_cast<std::size_t>(length), 0);
    if (length <= 255) {
        packet[0] = kShortHeader;
        packet[1] = static_cast<std::uint8_t>(length);
        packet[2] = type;
    } else {
        packet[0] = kLongHeader;
        packet[1] = static_cast<std::uint8_t>(length >> 8);
        packet[2] = static_cast<std::uint8_t>(length & 0xFF);
        packet[3] = type;
    }
    return packet;
}

std::vector<std::uint8_t> BuildWelcome(std::uint8_t expectsReport) {
    auto packet = NewPacket(kWelcome, kWelcomeLength);
    packet[kWelcomeFlagOffset] = expectsReport;
    return packet;
}

std::vector<std::uint8_t> BuildUpToDate() {
    return NewPacket(kUpToDate, 3);
}

std::vector<std::uint8_t> BuildPartitionList(const PartitionEntry (&entries)[kPartitionCount]) {
    auto packet = NewPacket(kPartitionList, kPartitionListLength);
    std::memcpy(packet.data() + kPartitionListOffset, entries, sizeof entries);
    return packet;
}

std::vector<std::uint8_t> BuildUpdateInfo(std::uint8_t type, const UpdateServerInfo& info) {
    const int length = type == kFtpUpdateInfoWithList ? kFtpListOffset + 2 : kUpdateInfoLength;
    auto packet = NewPacket(type, length);
    auto put = [&](int offset, const char* text, int width) {
        std::uint8_t* field = packet.data() + offset;
        std::memcpy(field, text, static_cast<std::size_t>(width));
        XorFieldKey(field, static_cast<std::size_t>(width));
    };
    put(kServerAddressOffset, info.serverAddress, kServerAddressSize);
    packet[kServerPortOffset] = static_cast<std::uint8_t>(info.serverPort & 0xFF);
    packet[kServerPortOffset + 1] = static_cast<std::uint8_t>(info.serverPort >> 8);
    put(kAccountNameOffset, info.accountName, kShortFieldSize);
    put(kAccountPasswordOffset, info.accountPassword, kShortFieldSize);
    put(kVersionFileNameOffset, info.versionFileName, kShortFieldSize);
    return packet;
}

std::vector<std::uint8_t> BuildPartitionListRequest() {
    return NewPacket(kPartitionListRequest, 3);
}

std::vector<std::uint8_t> BuildVersionReport(std::uint8_t kind, const ClientVersion& version) {
    auto packet = NewPacket(kind, kVersionReportLength);
    packet[3] = version.major;
    packet[4] = version.minor;
    packet[5] = version.build;
    return packet;
}

} // namespace tarnvale::proto
