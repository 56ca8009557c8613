#include "tools/ArchiveWriter.h"

#include "tools/ToolSupport.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>

namespace tarnvale::tools {

namespace {

zip_fileinfo EntryInfo(bool folder) {
    zip_fileinfo info{};
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now)) {
        info.tmz_date.tm_sec = static_cast<uInt>(local->tm_sec);
        info.tmz_date.tm_min = static_cast<uInt>(local->tm_min);
        info.tmz_date.tm_hour = static_cast<uInt>(local->tm_hour);
        info.tmz_date.tm_mday = static_cast<uInt>(local->tm_mday);
        info.tmz_date.tm_mon = static_cast<uInt>(local->tm_mon);
        info.tmz_date.tm_year = static_cast<uInt>(local->tm_year + 1900);
    }
    info.external_fa = folder ? 0x10 : 0x20; // directory or archive attribute
    return info;
}

class Archive {
  public:
    explicit Archive(const std::filesystem::path& path)
        : m_zip(zipOpen64(path.string().c_str(), APPEND_STATUS_CREATE)) {}
    ~Archive() {
        if (m_zip)
            zipClose(m_zip, nullptr);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool IsOpen() const { return m_zip != nullptr; }

    bool AddFolder(const std::string& listPath) {
        const zip_fileinfo info = EntryInfo(true);
        return zipOpenNewFileInZip64(m_zip, (EntryName(listPath) + "/").c_str(), &info, nullptr, 0,
                                     nullptr, 0, nullptr, 0, Z_DEFAULT_COMPRESSION, 1) == ZIP_OK &&
               zipCloseFileInZip(m_zip) == ZIP_OK;
    }

    // Copies the whole file into a new entry; `why` says what failed.
    bool AddFile(const SourceEntry& file, std::string& why) {
        std::ifstream in;
        if (const std::string reason = OpenForReading(file.path, in); !reason.empty()) {
            why = "cannot read " + Printable(file.shown) + ": " + reason;
            return false;
        }
        const zip_fileinfo info = EntryInfo(false);
        bool ok = zipOpenNewFileInZip64(m_zip, EntryName(file.listPath).c_str(), &info, nullptr, 0,
                                        nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION,
                                        1) == ZIP_OK;
        char buffer[65536];
        errno = 0;
        while (ok && (in.read(buffer, sizeof buffer) || in.gcount() > 0))
            ok = zipWriteInFileInZip(m_zip, buffer, static_cast<unsigned>(in.gcount())) == ZIP_OK;
        const int readError = errno;
        ok = zipCloseFileInZip(m_zip) == ZIP_OK && ok;
        if (in.bad()) {
            why = "cannot read " + Printable(file.shown) + ": " +
                  (readError ? std::strerror(readError) : "read error");
            return false;
        }
        return ok;
    }

    bool Close() {
        const bool ok = zipClose(m_zip, nullptr) == ZIP_OK;
        m_zip = nullptr;
        return ok;
    }

  private:
    static std::string EntryName(std::string listPath) {
        std::replace(listPath.begin(), listPath.end(), '\\', '/');
        return listPath;
    }

    zipFile m_zip;
};

} // namespace

bool WriteVersionArchive(const SourceTree& tree, const std::filesystem::path& archive,
                         std::string& error) {
    const std::string cannotWrite = "cannot write " + archive.string();
    Archive zip(archive);
    if (!zip.IsOpen()) {
        error = cannotWrite;
        return false;
    }
    for (const SourceEntry& folder : tree.folders) {
        if (!zip.AddFolder(folder.listPath)) {
            error = cannotWrite;
            return false;
        }
    }
    for (const SourceEntry& file : tree.files) {
        std::string why;
        if (!zip.AddFile(file, why)) {
            error = why.empty() ? cannotWrite : why;
            return false;
        }
    }
    if (!zip.Close()) {
        error = cannotWrite;
        return false;
    }
    return true;
}

} // namespace tarnvale::tools
