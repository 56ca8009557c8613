#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The binary form of the message table, "message.wtf": a 28-byte header
// (signature 0xCC, format version 1, 22 unused bytes, record count as a
// little-endian i32) followed by records of identifier (i16), length (i16) and
// that many text bytes, each XORed with the message key.
namespace tarnvale::msg {

inline constexpr std::size_t kHeaderSize = 28;
inline constexpr std::uint8_t kSignature = 0xCC;
inline constexpr std::uint8_t kFormatVersion = 1;
inline constexpr int kMaxTextLength = 255;

struct MessageFileRecord {
    std::int16_t id = 0;
    std::string text; // descrambled bytes exactly as stored, at most 255 of them
};

enum class MessageFileStatus {
    Ok,
    CannotOpen,   // the file is missing or unreadable
    BadSignature, // byte 0 is not 0xCC (also a file shorter than its header)
    BadVersion,   // byte 1 is not 1
    BadCount,     // count is 0 or negative
    Truncated,    // the file ends before `count` records; the records before stay
    BadLength,    // a stored length outside 0..255; loading stops at that record
};

struct MessageFile {
    std::array<std::uint8_t, kHeaderSize> header{};
    std::int32_t count = 0;
    std::vector<MessageFileRecord> records;
    MessageFileStatus status = MessageFileStatus::Ok;
};

MessageFile ParseMessageFile(std::string_view bytes, std::uint8_t key);
// Builds a file from records; every text must be at most 255 bytes.
std::string SerializeMessageFile(const std::vector<MessageFileRecord>& records, std::uint8_t key);
const char* DescribeStatus(MessageFileStatus status);

} // namespace tarnvale::msg
