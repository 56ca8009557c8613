#include "tools/connectserver/PublishedVersion.h"

#include "update/PatchList.h"
#include "update/VersionConfig.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarnvale::connectserver {

bool NewestInVersionFile(const std::string& bytes, ClientVersion& newest, std::string& error) {
    PatchListReader reader(bytes);
    std::vector<VersionEntry> table;
    switch (ReadVersionTable(reader, table)) {
    case VersionFileResult::Ok:
        break;
    case VersionFileResult::Unreadable:
        error = "a name longer than 8 characters, or an overlong token";
        return false;
    case VersionFileResult::TooMany:
        error = "more than 999 versions";
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
    // A version file holds at most 999 short names; anything far larger is not one.
    constexpr std::uint64_t kMostBytes = 1024 * 1024;
    if (size > kMostBytes) {
        error =
            m_path + ": larger than " + std::to_string(kMostBytes) + " bytes, not a version file";
        return false;
    }
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ClientVersion newest;
    std::string why;
    if (!in || !NewestInVersionFile(text.str(), newest, why)) {
        error = m_path + ": " + (in ? why : "cannot be read");
        return false;
    }
    m_seenTime = stamp;
    m_seenSize = size;
    const bool changed = !(newest == m_newest);
    m_newest = newest;
    return changed;
}

} // namespace tarnvale::connectserver
