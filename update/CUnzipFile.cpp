#include "update/CUnzipFile.h"

#include "platform/Files.h"

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tarnvale {

// ---------------------------------------------------------------------------
// Errors

CZipException::CZipException(int cause, std::string fileName)
    : m_iCause(cause), m_szFileName(std::move(fileName)) {
    m_message = "zip error " + std::to_string(cause);
    if (!m_szFileName.empty())
        m_message += " in " + m_szFileName;
}

std::string CZipException::CauseText() const {
    switch (m_iCause) {
    case streamEnd:
        return "the entry ends early";
    case needDict:
        return "the entry needs a preset dictionary";
    case errNo:
        return "a read error";
    case streamError:
        return "an inconsistent compressed stream";
    case dataError:
        return "damaged compressed data";
    case memError:
        return "out of memory";
    case bufError:
        return "the compressed data ends early";
    case versionError:
        return "an incompatible zlib version";
    case badFuncParam:
        return "a bad parameter";
    case badZipFile:
        return "a damaged archive or an unsupported entry (method or encryption)";
    case badCrc:
        return "checksum mismatch";
    default:
        return "zip error " + std::to_string(m_iCause);
    }
}

int CZipException::CauseFromCode(int code) {
    switch (code) {
    case UNZ_CRCERROR:
        return badCrc;
    case UNZ_BADZIPFILE:
        return badZipFile;
    case UNZ_PARAMERROR:
        return badFuncParam;
    case Z_VERSION_ERROR:
        return versionError;
    case Z_BUF_ERROR:
        return bufError;
    case Z_MEM_ERROR:
        return memError;
    case Z_DATA_ERROR:
        return dataError;
    case Z_STREAM_ERROR:
        return streamError;
    case Z_ERRNO:
        return errNo;
    case Z_STREAM_END:
        return streamEnd;
    case Z_NEED_DICT:
        return needDict;
    default:
        return generic;
    }
}

CFileException::CFileException(std::string fileName, int osError)
    : m_strFileName(std::move(fileName)), m_lOsError(osError) {
    m_message = "cannot open " + m_strFileName + " (" + std::to_string(osError) + ")";
}

// ---------------------------------------------------------------------------
// Base: the archive file and tracked allocations

CZUBaseFile::CZUBaseFile(const std::string& path) : m_path(path) {
    if (!m_file.Open(path))
        throw CFileException(path, platform::LastFileError());
}

CZUBaseFile::~CZUBaseFile() {
    for (void* block : m_allocations)
        std::free(block);
}

void CZUBaseFile::ThrowError(int code) const {
    throw CZipException(CZipException::CauseFromCode(code),
                        m_file.IsOpen() ? m_path : std::string());
}

void* CZUBaseFile::TrackedAlloc(void* opaque, unsigned items, unsigned size) {
    auto* self = static_cast<CZUBaseFile*>(opaque);
    void* block = std::calloc(items, size);
    if (block && self->m_bDetectZlibMemoryLeaks) {
        try {
            self->m_allocations.push_back(block);
        } catch (...) {
            std::free(block);
            return nullptr;
        }
    }
    return block;
}

void CZUBaseFile::TrackedFree(void* opaque, void* address) {
    auto* self = static_cast<CZUBaseFile*>(opaque);
    auto& list = self->m_allocations;
    const auto found = std::find(list.begin(), list.end(), address);
    if (found != list.end())
        list.erase(found);
    std::free(address);
}

// ---------------------------------------------------------------------------
// minizip reads the archive through the base's file object. It fetches its
// directory records a byte at a time, so reads go through two small caches: one
// ends up holding the stretch of central directory being walked, the other the
// entry being read, and neither evicts the other.

namespace {

constexpr std::size_t kCacheSize = 32768;

struct ArchiveReader {
    platform::InputFile* file = nullptr;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    bool failed = false;

    struct Slot {
        std::unique_ptr<unsigned char[]> data;
        std::uint64_t start = 0;
        std::size_t length = 0;
        unsigned lastUse = 0;
    } slots[2];
    unsigned clock = 0;

    std::size_t Read(void* buffer, std::size_t want) {
        unsigned char* out = static_cast<unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < want) {
            Slot* hit = nullptr;
            for (Slot& slot : slots) {
                if (slot.length > 0 && position >= slot.start &&
                    position < slot.start + slot.length)
                    hit = &slot;
            }
            if (!hit && want - done >= kCacheSize) {
                std::size_t got = 0;
                if (!file->Seek(position) || !file->Read(out + done, want - done, got)) {
                    failed = true;
                    break;
                }
                position += got;
                done += got;
                break;
            }
            if (!hit) {
                hit = slots[0].lastUse <= slots[1].lastUse ? &slots[0] : &slots[1];
                if (!hit->data)
                    hit->data = std::make_unique<unsigned char[]>(kCacheSize);
                std::size_t got = 0;
                hit->length = 0;
                if (!file->Seek(position) || !file->Read(hit->data.get(), kCacheSize, got)) {
                    failed = true;
                    break;
                }
                hit->start = position;
                hit->length = got;
                if (got == 0)
                    break;
            }
            hit->lastUse = ++clock;
            const std::size_t offset = static_cast<std::size_t>(position - hit->start);
            const std::size_t piece = std::min(want - done, hit->length - offset);
            std::memcpy(out + done, hit->data.get() + offset, piece);
            position += piece;
            done += piece;
        }
        return done;
    }
};

voidpf OpenArchive(voidpf opaque, const void*, int mode) {
    // Only reading is supported; the file is already open.
    return (mode & ZLIB_FILEFUNC_MODE_WRITE) ? nullptr : opaque;
}
uLong ReadArchive(voidpf, voidpf stream, void* buffer, uLong size) {
    return static_cast<uLong>(static_cast<ArchiveReader*>(stream)->Read(buffer, size));
}
uLong WriteArchive(voidpf, voidpf, const void*, uLong) {
    return 0;
}
ZPOS64_T TellArchive(voidpf, voidpf stream) {
    return static_cast<ArchiveReader*>(stream)->position;
}
long SeekArchive(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* reader = static_cast<ArchiveReader*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = reader->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = reader->size;
        break;
    default:
        return -1;
    }
    if (offset > reader->size || base + offset > reader->size)
        return -1;
    reader->position = base + offset;
    return 0;
}
int CloseArchive(voidpf, voidpf) {
    return 0; // the base class owns the file
}
int ArchiveError(voidpf, voidpf stream) {
    return static_cast<ArchiveReader*>(stream)->failed ? 1 : 0;
}

// An end-of-central-directory record at the very start of the file, saying
// that there are no entries, followed by nothing but its comment.
bool IsEmptyArchive(ArchiveReader& reader) {
    unsigned char record[22];
    reader.position = 0;
    if (reader.Read(record, sizeof record) != sizeof record)
        return false;
    auto u16 = [&](int at) { return static_cast<unsigned>(record[at] | (record[at + 1] << 8)); };
    auto u32 = [&](int at) { return u16(at) | (u16(at + 2) << 16); };
    return std::memcmp(record, "PK\x05\x06", 4) == 0 && u16(4) == 0 && u16(6) == 0 && u16(8) == 0 &&
           u16(10) == 0 && u32(12) == 0 && u32(16) == 0 && reader.size == sizeof record + u16(20);
}

unzFile Handle(void* handle) {
    return static_cast<unzFile>(handle);
}

} // namespace

struct CUnzipFile::InflateState {
    z_stream stream{};
    bool initialised = false;
    bool ended = false;
    ArchiveReader reader;
};

platform::LocalDateTime DosDateTimeToLocal(std::uint32_t dosDateTime) {
    const std::uint32_t date = dosDateTime >> 16;
    const std::uint32_t time = dosDateTime & 0xFFFF;
    platform::LocalDateTime local;
    local.year = static_cast<int>((date >> 9) & 0x7F) + 1980;
    local.month = static_cast<int>((date >> 5) & 0x0F);
    local.day = static_cast<int>(date & 0x1F);
    local.hour = static_cast<int>((time >> 11) & 0x1F);
    local.minute = static_cast<int>((time >> 5) & 0x3F);
    local.second = static_cast<int>(time & 0x1F) * 2;
    return local;
}

// ---------------------------------------------------------------------------
// Reader

CUnzipFile::CUnzipFile(const std::string& path)
    : CZUBaseFile(path), m_inflate(std::make_unique<InflateState>()),
      m_input(std::make_unique<unsigned char[]>(kReadBufferSize)) {
    ArchiveReader& reader = m_inflate->reader;
    reader.file = &m_file;
    if (!m_file.Size(reader.size))
        ThrowError(Z_ERRNO);

    zlib_filefunc64_def io{};
    io.zopen64_file = OpenArchive;
    io.zread_file = ReadArchive;
    io.zwrite_file = WriteArchive;
    io.ztell64_file = TellArchive;
    io.zseek64_file = SeekArchive;
    io.zclose_file = CloseArchive;
    io.zerror_file = ArchiveError;
    io.opaque = &reader;
    // minizip reads the end-of-central-directory record and refuses archives on
    // several disks or whose directory does not fit before that record.
    m_unzip = unzOpen2_64(path.c_str(), &io);
    if (!m_unzip) {
        // minizip cannot open an archive without entries (its directory record
        // is then at offset 0, which minizip takes for "not found").
        if (IsEmptyArchive(reader))
            return;
        ThrowError(UNZ_BADZIPFILE);
    }
    unz_global_info64 global{};
    const int code = unzGetGlobalInfo64(Handle(m_unzip), &global);
    if (code != UNZ_OK) {
        unzClose(Handle(m_unzip));
        m_unzip = nullptr;
        ThrowError(code);
    }
    m_entryCount = global.number_entry;
}

CUnzipFile::~CUnzipFile() {
    ReleaseEntry();
    if (m_unzip)
        unzClose(Handle(m_unzip));
    m_unzip = nullptr;
}

void CUnzipFile::CheckCode(int code) const {
    if (code != UNZ_OK)
        ThrowError(code);
}

bool CUnzipFile::GoToFirstFile() {
    if (!m_unzip && m_entryCount == 0 && m_file.IsOpen())
        return false; // an archive without entries
    if (!m_unzip)
        ThrowError(UNZ_PARAMERROR);
    const int code = unzGoToFirstFile(Handle(m_unzip));
    if (code == UNZ_END_OF_LIST_OF_FILE)
        return false;
    CheckCode(code);
    return true;
}

bool CUnzipFile::GoToNextFile() {
    if (!m_unzip)
        ThrowError(UNZ_PARAMERROR);
    const int code = unzGoToNextFile(Handle(m_unzip));
    if (code == UNZ_END_OF_LIST_OF_FILE)
        return false;
    CheckCode(code);
    return true;
}

void CUnzipFile::GetCurrentFileInfo(UnzipFileInfo& info, char* name, std::size_t nameSize) {
    if (!m_unzip)
        ThrowError(UNZ_PARAMERROR);
    unz_file_info64 raw{};
    const uLong bufferSize = name ? static_cast<uLong>(std::min<std::size_t>(nameSize, 0xFFFF)) : 0;
    CheckCode(
        unzGetCurrentFileInfo64(Handle(m_unzip), &raw, name, bufferSize, nullptr, 0, nullptr, 0));
    info.versionMadeBy = static_cast<std::uint32_t>(raw.version);
    info.versionNeeded = static_cast<std::uint32_t>(raw.version_needed);
    info.flag = static_cast<std::uint32_t>(raw.flag);
    info.method = static_cast<std::uint32_t>(raw.compression_method);
    info.dosDate = static_cast<std::uint32_t>(raw.dosDate);
    info.crc = static_cast<std::uint32_t>(raw.crc);
    info.compressedSize = raw.compressed_size;
    info.uncompressedSize = raw.uncompressed_size;
    info.nameLength = static_cast<std::uint32_t>(raw.size_filename);
    info.internalAttributes = static_cast<std::uint32_t>(raw.internal_fa);
    info.externalAttributes = static_cast<std::uint32_t>(raw.external_fa);
    info.modified = DosDateTimeToLocal(info.dosDate);
}

std::string CUnzipFile::GetCurrentFileName() {
    UnzipFileInfo info;
    GetCurrentFileInfo(info);
    std::string name(info.nameLength + 1, '\0');
    GetCurrentFileInfo(info, name.data(), name.size());
    name.resize(info.nameLength);
    return name;
}

void CUnzipFile::ReleaseEntry() {
    if (m_inflate && m_inflate->initialised)
        inflateEnd(&m_inflate->stream);
    if (m_inflate) {
        m_inflate->initialised = false;
        m_inflate->ended = false;
    }
    m_entryOpen = false;
    m_inputAvailable = 0;
    m_inputOffset = 0;
}

void CUnzipFile::OpenCurrentFile() {
    CloseCurrentFile();
    UnzipFileInfo info;
    GetCurrentFileInfo(info);
    // Only stored and deflated entries are read; an encrypted entry would be
    // read as garbage, so it is refused like an unknown method.
    if ((info.method != 0 && info.method != Z_DEFLATED) || (info.flag & 1))
        ThrowError(UNZ_BADZIPFILE);
    // minizip checks the local header against the directory record and finds
    // where the entry's data starts; the data itself is read here.
    CheckCode(unzOpenCurrentFile2(Handle(m_unzip), nullptr, nullptr, 1));
    const ZPOS64_T dataPosition = unzGetCurrentFileZStreamPos64(Handle(m_unzip));
    unzCloseCurrentFile(Handle(m_unzip));
    if (dataPosition == 0 || dataPosition > m_inflate->reader.size ||
        info.compressedSize > m_inflate->reader.size - dataPosition)
        ThrowError(UNZ_BADZIPFILE);

    m_method = info.method;
    m_dataPosition = dataPosition;
    m_restCompressed = info.compressedSize;
    m_restUncompressed = info.uncompressedSize;
    m_crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    m_crcWanted = info.crc;
    m_inputAvailable = 0;
    m_inputOffset = 0;
    if (m_method == Z_DEFLATED) {
        z_stream& stream = m_inflate->stream;
        stream = z_stream{};
        stream.zalloc = TrackedAlloc;
        stream.zfree = TrackedFree;
        stream.opaque = static_cast<CZUBaseFile*>(this);
        const int code = inflateInit2(&stream, -MAX_WBITS);
        if (code != Z_OK)
            ThrowError(code);
        m_inflate->initialised = true;
        m_inflate->ended = false;
    }
    m_entryOpen = true;
}

bool CUnzipFile::FillInput() {
    if (m_inputOffset < m_inputAvailable)
        return true;
    if (m_restCompressed == 0)
        return false;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kReadBufferSize, m_restCompressed));
    ArchiveReader& reader = m_inflate->reader;
    reader.position = m_dataPosition;
    if (reader.Read(m_input.get(), want) != want)
        ThrowError(Z_ERRNO);
    m_dataPosition += want;
    m_restCompressed -= want;
    m_inputAvailable = want;
    m_inputOffset = 0;
    return true;
}

std::size_t CUnzipFile::ReadCurrentFile(void* buffer, std::size_t size) {
    if (!m_entryOpen)
        ThrowError(UNZ_PARAMERROR);
    if (size > m_restUncompressed)
        size = static_cast<std::size_t>(m_restUncompressed);
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::size_t produced = 0;
    while (produced < size) {
        if (!FillInput() && (m_method == 0 || m_inflate->ended))
            break;
        if (m_method == 0) {
            const std::size_t piece = std::min(size - produced, m_inputAvailable - m_inputOffset);
            std::memcpy(out + produced, m_input.get() + m_inputOffset, piece);
            m_inputOffset += piece;
            produced += piece;
            continue;
        }
        if (m_inflate->ended)
            break;
        z_stream& stream = m_inflate->stream;
        stream.next_in = m_input.get() + m_inputOffset;
        stream.avail_in = static_cast<uInt>(m_inputAvailable - m_inputOffset);
        stream.next_out = out + produced;
        const std::size_t room = std::min<std::size_t>(size - produced, 0x40000000u);
        stream.avail_out = static_cast<uInt>(room);
        const int code = inflate(&stream, Z_SYNC_FLUSH);
        m_inputOffset = m_inputAvailable - stream.avail_in;
        produced += room - stream.avail_out;
        if (code == Z_STREAM_END) {
            m_inflate->ended = true;
        } else if (code == Z_BUF_ERROR && stream.avail_in == 0 && m_restCompressed == 0) {
            break; // the compressed data ran out
        } else if (code != Z_OK) {
            ThrowError(code);
        }
    }
    m_crc = static_cast<std::uint32_t>(crc32(m_crc, out, static_cast<uInt>(produced)));
    m_restUncompressed -= produced;
    // The data ended (stream end, or no compressed bytes left) before the size
    // the directory records: the entry is damaged.
    if (produced < size)
        ThrowError(Z_DATA_ERROR);
    return produced;
}

void CUnzipFile::CloseCurrentFile() {
    if (!m_entryOpen)
        return;
    const bool complete = m_restUncompressed == 0;
    const bool crcMatches = m_crc == m_crcWanted;
    ReleaseEntry();
    if (complete && !crcMatches)
        ThrowError(UNZ_CRCERROR);
}

void CUnzipFile::ApplyEntryStatus(const std::string& path, const UnzipFileInfo& info) {
    platform::SetFileTimes(path, info.modified);
    platform::WriteAttributes(path, info.externalAttributes &
                                        (platform::kAttrReadOnly | platform::kAttrHidden |
                                         platform::kAttrSystem | platform::kAttrArchive));
}

void CUnzipFile::Close() {
    CloseCurrentFile();
    if (m_unzip)
        unzClose(Handle(m_unzip));
    m_unzip = nullptr;
    CloseArchiveFile();
}

} // namespace tarnvale
