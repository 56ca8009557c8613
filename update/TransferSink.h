#pragma once

#include "platform/FileOps.h"
#include "update/PartialDownload.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace tarnvale {

// Files of the FTP road at least this large go on where an interrupted transfer
// stopped; smaller ones are fetched whole again, which costs less than keeping a
// record of them.
inline constexpr std::uint64_t kResumableFtpBytes = 1024 * 1024;

// Where the bytes of one FTP transfer go. A small file is staged beside its final
// name and appears under it only once complete. A large one goes to a partial
// kept for the next try (PartialDownload, with the listed size as its length):
// after a failure its bytes stay, and the next transfer starts after them.
class TransferSink {
  public:
    TransferSink() = default;
    TransferSink(const TransferSink&) = delete;
    TransferSink& operator=(const TransferSink&) = delete;
    ~TransferSink() { Close(); }

    // For `size` listed bytes of `version`, to become `localPath`.
    bool Open(const std::string& localPath, const std::string& version, std::uint64_t size);
    // The bytes already there, where the transfer is to start.
    std::uint64_t Offset() const { return m_offset; }
    // The server cannot start at Offset(): the partial starts again from nothing.
    bool StartOver();
    bool Write(const char* data, std::size_t size);
    // Every byte is there: the file takes its final name.
    bool Commit();
    // The transfer failed: a staged file goes, a partial stays for the next try.
    void Close();

  private:
    bool OpenPartial();

    std::uint64_t m_size = 0;
    platform::StagedFile m_staged;
    std::optional<PartialDownload> m_partial;
    std::FILE* m_file = nullptr;
    std::uint64_t m_offset = 0;
};

} // namespace tarnvale
