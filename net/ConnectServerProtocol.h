#pragma once

#include "state/LauncherState.h"
#include "transport/PacketFraming.h"
#include "update/ClientVersion.h"
#include "update/UpdateState.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The packets exchanged with the connect server. Every packet starts with a
// short header (0xC1, total length in byte 1, type in byte 2) or a long one (0xC2,
// total length big-endian in bytes 1 and 2, type in byte 3). Fields inside a body
// are read at fixed offsets from byte 0, whatever the header kind, and multi-byte
// integers in bodies are little-endian.
namespace tarnvale::proto {

// Packet types the launcher receives.
inline constexpr std::uint8_t kWelcome = 0;
inline constexpr std::uint8_t kUpToDate = 2;
inline constexpr std::uint8_t kUpToDateWithList = 3;
inline constexpr std::uint8_t kHttpUpdateInfo = 4;
inline constexpr std::uint8_t kFtpUpdateInfo = 5;
inline constexpr std::uint8_t kFtpUpdateInfoWithList = 8;
inline constexpr std::uint8_t kPartitionList = 9;

// Packets the launcher sends: the partition-list request (type 9) and the version
// report, whose type is the update road it asks for.
inline constexpr std::uint8_t kPartitionListRequest = 9;
inline constexpr std::uint8_t kReportHttp = 4;
inline constexpr std::uint8_t kReportFtp = 5;
inline constexpr int kVersionReportLength = 6;

// Welcome: byte 3 is 1 when the server expects the version report.
inline constexpr int kWelcomeLength = 4;
inline constexpr int kWelcomeFlagOffset = 3;

// Update information (types 4, 5, 8).
inline constexpr int kServerAddressOffset = 6;
inline constexpr int kServerAddressSize = 100;
inline constexpr int kServerPortOffset = 106;
inline constexpr int kAccountNameOffset = 108;
inline constexpr int kAccountPasswordOffset = 128;
inline constexpr int kVersionFileNameOffset = 148;
inline constexpr int kShortFieldSize = 20;
inline constexpr int kUpdateInfoLength = 168;

// Address lists of types 3 and 8: a flag byte, a signed count, then that many IPv4
// addresses. No more than this many are taken into account.
inline constexpr int kUpToDateListOffset = 4;
inline constexpr int kFtpListOffset = 168;
inline constexpr int kMaxListedAddresses = 64;

// Partition list: ten 50-byte entries from byte 4.
inline constexpr int kPartitionListOffset = 4;
inline constexpr int kPartitionListLength = kPartitionListOffset + kPartitionCount * 50;

// The type byte: byte 3 after a long header, byte 2 otherwise.
std::uint8_t PacketType(const std::uint8_t* packet);

// Scrambles or descrambles one text field in place over its whole width: byte i
// is XORed with key byte (i mod 3). Every field restarts the key.
void XorFieldKey(std::uint8_t* field, std::size_t width);
void XorFieldKey(char* field, std::size_t width);

// The smallest length a received packet of `type` must have for its handler to
// read it, given its bytes (the address-list types depend on their count); 0 for
// types the launcher does not handle.
int MinimumLength(const std::uint8_t* packet, int length);

// Builders, for the connect server and for tests. The header kind follows the
// length: short up to 255 bytes, long beyond.
std::vector<std::uint8_t> NewPacket(std::uint8_t type, int length);
std::vector<std::uint8_t> BuildWelcome(std::uint8_t expectsReport = 1);
std::vector<std::uint8_t> BuildUpToDate();
std::vector<std::uint8_t> BuildPartitionList(const PartitionEntry (&entries)[kPartitionCount]);
// Type 4, 5 or 8 (8 with an empty address list); the text fields are scrambled.
std::vector<std::uint8_t> BuildUpdateInfo(std::uint8_t type, const UpdateServerInfo& info);
std::vector<std::uint8_t> BuildPartitionListRequest();
std::vector<std::uint8_t> BuildVersionReport(std::uint8_t kind, const ClientVersion& version);

} // namespace tarnvale::proto
