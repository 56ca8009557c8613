#pragma once

#include "platform/FileOps.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace tarnvale {

// The one error the archive classes raise: a cause code and the archive's path
// (empty when the archive file was not open).
class CZipException : public std::exception {
  public:
    enum Cause {
        generic = 1,
        streamEnd = 2,
        needDict = 3,
        errNo = 4,
        streamError = 5,
        dataError = 6,
        memError = 7,
        bufError = 8,
        versionError = 9,
        badFuncParam = 10,
        badZipFile = 11,
        badCrc = 12,
    };

    CZipException(int cause, std::string fileName);
    const char* what() const noexcept override { return m_message.c_str(); }

    // The cause for the code of a failing zip or zlib step.
    static int CauseFromCode(int code);
    // The cause in words, for the operator ("checksum mismatch").
    std::string CauseText() const;

    int m_iCause;
    std::string m_szFileName;

  private:
    std::string m_message;
};

// The archive file itself cannot be opened (missing, unreadable, a folder).
class CFileException : public std::exception {
  public:
    CFileException(std::string fileName, int osError);
    const char* what() const noexcept override { return m_message.c_str(); }

    std::string m_strFileName;
    int m_lOsError;

  private:
    std::string m_message;
};

// Common base of the archive classes: owns the archive's file object and turns
// failing codes into CZipException. With m_bDetectZlibMemoryLeaks set (the
// default) every block the decompressor allocates is tracked, and whatever is
// still tracked when the object goes away is released, so an error thrown in
// the middle of an entry cannot leak the inflate state.
class CZUBaseFile {
  public:
    CZUBaseFile(const CZUBaseFile&) = delete;
    CZUBaseFile& operator=(const CZUBaseFile&) = delete;
    virtual ~CZUBaseFile();

    const std::string& GetFilePath() const { return m_path; }
    bool m_bDetectZlibMemoryLeaks = true;

  protected:
    // Opens the archive file; raises CFileException when it cannot.
    explicit CZUBaseFile(const std::string& path);

    [[noreturn]] void ThrowError(int code) const;
    void CloseArchiveFile() { m_file.Close(); }

    // zlib allocation hooks that keep m_allocations up to date.
    static void* TrackedAlloc(void* opaque, unsigned items, unsigned size);
    static void TrackedFree(void* opaque, void* address);

    platform::InputFile m_file;
    std::string m_path;

  private:
    std::vector<void*> m_allocations;
};

// What the update engine uses of an entry's directory record.
struct UnzipFileInfo {
    std::uint32_t versionMadeBy = 0;
    std::uint32_t versionNeeded = 0;
    std::uint32_t flag = 0;
    std::uint32_t method = 0; // 0 stored, 8 deflated
    std::uint32_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t nameLength = 0; // bytes of the stored name
    std::uint32_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0; // 32 bits as stored
    platform::LocalDateTime modified;     // the DOS date and time, taken apart
};

// Turns the entry's packed DOS date and time (date in the high half) into a
// local date and time.
platform::LocalDateTime DosDateTimeToLocal(std::uint32_t dosDateTime);

// The zip reader. Entries are stored or deflated; anything else, encrypted
// entries and damaged structure raise cause 11, damaged data cause 6 (or the
// failing zlib code's cause), and a checksum mismatch cause 12.
class CUnzipFile : public CZUBaseFile {
  public:
    static constexpr std::size_t kReadBufferSize = 16384;

    // Opens the archive, reads its end-of-central-directory record and makes the
    // first entry current (if any).
    explicit CUnzipFile(const std::string& path);
    ~CUnzipFile() override;

    std::uint64_t GetEntryCount() const { return m_entryCount; }

    // Makes the first entry current; false when the archive has no entries.
    bool GoToFirstFile();
    // Makes the next entry current; false after the last entry.
    bool GoToNextFile();
    // Fills `info` and copies at most `nameSize` bytes of the name, adding a
    // terminating zero when there is room. `name` may be null.
    void GetCurrentFileInfo(UnzipFileInfo& info, char* name = nullptr, std::size_t nameSize = 0);
    // The current entry's whole stored name (every byte, also zero bytes).
    std::string GetCurrentFileName();

    // Closes the previous entry (with its checksum test) and opens the current
    // one for reading.
    void OpenCurrentFile();
    // Reads and inflates into `buffer`; 0 when the entry is exhausted. Raises
    // cause 6 when the entry's data ends before its recorded size.
    std::size_t ReadCurrentFile(void* buffer, std::size_t size);
    // Closes the open entry. An entry read to its end must match its CRC-32,
    // else cause 12.
    void CloseCurrentFile();

    // Sets the written (and closed) file's modification time to the entry's,
    // its creation and access times to the present, then its attributes to the
    // entry's read-only, hidden, system and archive bits.
    void ApplyEntryStatus(const std::string& path, const UnzipFileInfo& info);

    // Closes the open entry (with its checksum test) and the archive.
    void Close();

  private:
    void CheckCode(int code) const;
    void ReleaseEntry();
    bool FillInput();

    void* m_unzip = nullptr; // minizip's handle
    std::uint64_t m_entryCount = 0;

    // Read state of the open entry.
    bool m_entryOpen = false;
    std::uint32_t m_method = 0;
    std::uint64_t m_dataPosition = 0; // next compressed byte in the archive
    std::uint64_t m_restCompressed = 0;
    std::uint64_t m_restUncompressed = 0;
    std::uint32_t m_crc = 0;
    std::uint32_t m_crcWanted = 0;
    struct InflateState;
    std::unique_ptr<InflateState> m_inflate;
    std::unique_ptr<unsigned char[]> m_input; // kReadBufferSize bytes
    std::size_t m_inputAvailable = 0;
    std::size_t m_inputOffset = 0;
};

} // namespace tarnvale
