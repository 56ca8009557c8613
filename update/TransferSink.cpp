#include "update/TransferSink.h"

#include "platform/Files.h"

namespace tarnvale {

bool TransferSink::Open(const std::string& localPath, const std::string& version,
                        std::uint64_t size) {
    Close();
    m_size = size;
    m_offset = 0;
    if (size < kResumableFtpBytes)
        return m_staged.Create(localPath);
    m_partial.emplace(localPath, version, size);
    // The listed size is all that names the server's copy: a partial of a file
    // listed at another size is of another copy.
    if (m_partial->Copy().length != size)
        m_partial->Drop();
    else
        m_offset = m_partial->Have();
    return OpenPartial();
}

bool TransferSink::OpenPartial() {
    if (m_offset == 0) {
        m_partial->Drop();
        platform::HttpValidator copy;
        copy.length = m_size;
        if (!m_partial->Record(copy))
            return false;
    }
    m_file = std::fopen(platform::NativePath(m_partial->Path()).c_str(), m_offset ? "ab" : "wb");
    return m_file != nullptr;
}

bool TransferSink::StartOver() {
    if (!m_partial)
        return true;
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_offset = 0;
    return OpenPartial();
}

bool TransferSink::Write(const char* data, std::size_t size) {
    if (!m_partial)
        return m_staged.Write(data, size);
    return m_file && std::fwrite(data, 1, size, m_file) == size;
}

bool TransferSink::Commit() {
    if (!m_partial)
        return m_staged.Commit();
    const bool closed = m_file && std::fclose(m_file) == 0;
    m_file = nullptr;
    const bool placed = closed && m_partial->Complete();
    if (!placed)
        m_partial->Drop();
    m_partial.reset();
    return placed;
}

void TransferSink::Close() {
    m_staged.Discard();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_partial.reset();
}

} // namespace tarnvale
