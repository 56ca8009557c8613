#include "update/PartialDownload.h"

#include "platform/FileOps.h"
#include "platform/Files.h"
#include "update/StagingLeftovers.h"

#include <sstream>

namespace tarnvale {
namespace {

constexpr char kRecordTag[] = "tarnvale-partial 1";
constexpr std::time_t kKeepSeconds = std::time_t{kPartialKeepDays} * 24 * 60 * 60;

struct PartialRecord {
    std::string version;
    platform::HttpValidator copy;
    std::time_t since = 0;
};

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// One "key value" line per field after the tag; the values are what the server
// sent (entity tags and dates hold no line ends).
bool ReadRecord(const std::string& path, PartialRecord& record) {
    std::string text;
    if (!platform::ReadWholeFile(path, text) || text.size() > 4096)
        return false;
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kRecordTag)
        return false;
    bool haveVersion = false;
    bool haveSince = false;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        std::uint64_t number = 0;
        if (key == "version") {
            record.version = value;
            haveVersion = true;
        } else if (key == "length" && platform::ReadDecimal(value, number)) {
            record.copy.length = number;
        } else if (key == "since" && platform::ReadDecimal(value, number)) {
            record.since = static_cast<std::time_t>(number);
            haveSince = true;
        } else if (key == "etag") {
            record.copy.etag = value;
        } else if (key == "last-modified") {
            record.copy.lastModified = value;
        } else {
            return false;
        }
    }
    return haveVersion && haveSince;
}

bool HasLineEnd(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool Expired(const PartialRecord& record, std::time_t now) {
    return record.since > now || now - record.since > kKeepSeconds;
}

} // namespace

PartialDownload::PartialDownload(std::string target, std::string version, std::uint64_t ceiling,
                                 std::time_t now)
    : m_target(std::move(target)), m_version(std::move(version)), m_path(m_target + kPartialSuffix),
      m_record(m_target + kPartialRecordSuffix) {
    PartialRecord record;
    std::uint64_t size = 0;
    const bool usable = ReadRecord(m_record, record) && record.version == m_version &&
                        !Expired(record, now) && record.copy.length > 0 &&
                        (ceiling == 0 || record.copy.length <= ceiling) &&
                        platform::FileSize(m_path, size) && size > 0 && size < record.copy.length;
    if (!usable) {
        Drop();
        return;
    }
    m_copy = record.copy;
    m_have = size;
}

bool PartialDownload::Record(const platform::HttpValidator& copy, std::time_t now) {
    m_copy = copy;
    // A copy the record cannot name is not kept for a later try.
    if (HasLineEnd(copy.etag) || HasLineEnd(copy.lastModified) || HasLineEnd(m_version)) {
        platform::RemoveFile(m_record);
        return false;
    }
    std::string text = std::string(kRecordTag) + "\nversion " + m_version + "\nlength " +
                       std::to_string(copy.length) + "\nsince " + std::to_string(now) + "\n";
    if (!copy.etag.empty())
        text += "etag " + copy.etag + "\n";
    if (!copy.lastModified.empty())
        text += "last-modified " + copy.lastModified + "\n";
    return platform::WriteWholeFile(m_record, text);
}

bool PartialDownload::Complete() {
    if (!platform::MoveFileReplacing(m_path, m_target))
        return false;
    platform::RemoveFile(m_record);
    return true;
}

void PartialDownload::Drop() {
    platform::RemoveFile(m_path);
    platform::RemoveFile(m_record);
}

void PartialDownload::Failed(long code) {
    if (code >= 400 && code < 600)
        Drop();
}

int SweepOldPartials(const std::string& folder, std::time_t now) {
    return ForEachFileBelow(folder, [now](const std::string& path, const std::string& name) {
        const bool isPartial = EndsWith(name, kPartialSuffix);
        if (!isPartial && !EndsWith(name, kPartialRecordSuffix))
            return 0;
        const std::string stem = path.substr(
            0, path.size() - (isPartial ? sizeof kPartialSuffix : sizeof kPartialRecordSuffix) + 1);
        PartialRecord record;
        const bool keep = ReadRecord(stem + kPartialRecordSuffix, record) &&
                          !Expired(record, now) && platform::PathExists(stem + kPartialSuffix);
        return !keep && platform::RemoveFile(path) && isPartial ? 1 : 0;
    });
}

} // namespace tarnvale
