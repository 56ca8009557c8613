#pragma once

#include <cstdint>

// How the connect server's byte stream is cut into packets. Every packet starts
// with a short header (0xC1, total length in byte 1) or a long one (0xC2, total
// length big-endian in bytes 1 and 2); the type byte follows the header.
namespace tarnvale::proto {

inline constexpr std::uint8_t kShortHeader = 0xC1;
inline constexpr std::uint8_t kLongHeader = 0xC2;
inline constexpr int kMaxPacketSize = 4096;

// The length a header announces, or -1 when byte 0 starts no header. Needs three
// bytes.
int DeclaredSize(const std::uint8_t* packet);
// 3 for a short header, 4 for a long one.
int HeaderLength(const std::uint8_t* packet);

} // namespace tarnvale::proto
