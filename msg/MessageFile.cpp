#include "msg/MessageFile.h"

#include <cstring>

namespace tarnvale::msg {
namespace {

std::int16_t ReadI16(const unsigned char* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void AppendI16(std::string& out, std::int16_t value) {
    const auto u = static_cast<std::uint16_t>(value);
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

} // namespace

MessageFile ParseMessageFile(std::string_view bytes, std::uint8_t key) {
    MessageFile file;
    std::memcpy(file.header.data(), bytes.data(), std::min(bytes.size(), kHeaderSize));
    if (bytes.size() < kHeaderSize || file.header[0] != kSignature) {
        file.status = MessageFileStatus::BadSignature;
        return file;
    }
    if (file.header[1] != kFormatVersion) {
        file.status = MessageFileStatus::BadVersion;
        return file;
    }
    const unsigned char* h = file.header.data();
    file.count =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(h[24]) | (h[25] << 8) | (h[26] << 16) |
                                  (static_cast<std::uint32_t>(h[27]) << 24));
    if (file.count <= 0) {
        file.status = MessageFileStatus::BadCount;
        return file;
    }

    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + kHeaderSize;
    const auto* end = reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size();
    for (std::int32_t i = 0; i < file.count; ++i) {
        if (end - p < 4) {
            file.status = MessageFileStatus::Truncated;
            break;
        }
        const std::int16_t id = ReadI16(p);
        const std::int16_t length = ReadI16(p + 2);
        p += 4;
        // A length the 256-byte text buffer cannot hold means the stream is out of
        // step: nothing after it can be trusted.
        if (length < 0 || length > kMaxTextLength) {
            file.status = MessageFileStatus::BadLength;
            break;
        }
        if (end - p < length) {
            file.status = MessageFileStatus::Truncated;
            break;
        }
        MessageFileRecord record{id, std::string(reinterpret_cast<const char*>(p), length)};
        for (char& c : record.text)
            c = static_cast<char>(c ^ key);
        file.records.push_back(std::move(record));
        p += length;
    }
    return file;
}

std::string SerializeMessageFile(const std::vector<MessageFileRecord>& records, std::uint8_t key) {
    std::string out(kHeaderSize, '\0');
    out[0] = static_cast<char>(kSignature);
    out[1] = static_cast<char>(kFormatVersion);
    const auto count = static_cast<std::uint32_t>(records.size());
    for (int i = 0; i < 4; ++i)
        out[24 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    for (const MessageFileRecord& record : records) {
        AppendI16(out, record.id);
        AppendI16(out, static_cast<std::int16_t>(record.text.size()));
        for (char c : record.text)
            out += static_cast<char>(c ^ key);
    }
    return out;
}

const char* DescribeStatus(MessageFileStatus status) {
    switch (status) {
    case MessageFileStatus::Ok:
        return "ok";
    case MessageFileStatus::CannotOpen:
        return "cannot open the file";
    case MessageFileStatus::BadSignature:
        return "not a message table (signature byte is not 0xCC)";
    case MessageFileStatus::BadVersion:
        return "unsupported message table version (must be 1)";
    case MessageFileStatus::BadCount:
        return "record count is 0 or negative";
    case MessageFileStatus::Truncated:
        return "file ends before the announced number of records";
    case MessageFileStatus::BadLength:
        return "a record's text length is outside 0..255";
    }
    return "unknown";
}

} // namespace tarnvale::msg
