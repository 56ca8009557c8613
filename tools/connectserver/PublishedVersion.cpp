#include "tools/connectserver/PublishedVersion.h"

#include "platform/Files.h"
#include "update/PatchList.h"
#include "update/RoadFiles.h"
#include "update/UpdateState.h"
#include "update/VersionConfig.h"

#include <filesystem>

namespace tarnvale::connectserver {

bool NewestInVersionFile(const std::string& bytes, ClientVersion& newest, std::string& error) {
    PatchListReader reader(bytes);
    std::vector<VersionEntry> table;
    switch (ReadVersionTable(reader, table)) {
    case VersionFileResult::Ok:
        break;
    case VersionFileResult::Unreadable:
        error = "a name longer than " + std::to_string(kMaxVersionNameLength) +
                " characters, or an overlong token";
        return false;
    case VersionFileResult::TooMany:
        error = "more than " + std::to_string(kMaxVersions) + " versions";
        return false;
    }
    if (table.empty()) {
        error = "no version is published in it";
        return false;
    }
    newest = NewestVersion(table);
    return true;
}

bool PublishedVersion::Refresh(std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto time = fs::last_write_time(m_path, ec);
    const std::uint64_t size = ec ? 0 : fs::file_size(m_path, ec);
    if (ec) {
        error = "cannot read " + m_path + ": " + ec.message();
        return false;
    }
    const std::int64_t stamp = time.time_since_epoch().count();
    if (stamp == m_seenTime && size == m_seenSize)
        return false;
    // The size is checked before anything is read, so that a file far larger than
    // any version file is never held in memory.
    if (size > kMaxVersionFileBytes) {
        error = m_path + ": larger than " + std::to_string(kMaxVersionFileBytes) +
                " bytes, not a version file";
        return false;
    }
    std::string text;
    ClientVersion newest;
    std::string why;
    const bool read = platform::ReadWholeFile(m_path, text);
    if (!read || !NewestInVersionFile(text, newest, why)) {
        error = m_path + ": " + (read ? why : "cannot be read");
        return false;
    }
    m_seenTime = stamp;
    m_seenSize = size;
    const bool changed = !(newest == m_newest);
    m_newest = newest;
    return changed;
}

} // namespace tarnvale::connectserver
