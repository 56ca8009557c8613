#include "update/PatchLog.h"

#include "platform/Files.h"
#include "update/ClientVersion.h"

namespace tarnvale {
namespace {

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

bool AppendPatchLog(char kind, const char* text) {
    if (!text || !*text)
        return false;
    for (const char* p = text; *p; ++p) {
        if (IsBlank(static_cast<unsigned char>(*p)))
            return false;
    }
    std::FILE* log = std::fopen(platform::NativePath(kPatchLogName).c_str(), "a");
    if (!log)
        return false;
    const bool written = std::fprintf(log, "%c %s\n", kind, text) > 0;
    return (std::fclose(log) == 0) && written;
}

bool PatchLogReader::Open(const char* path) {
    Close();
    m_file = std::fopen(platform::NativePath(path).c_str(), "rb");
    return m_file != nullptr;
}

void PatchLogReader::Close() {
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

bool PatchLogReader::Next(char& kind, std::string& text) {
    if (!m_file)
        return false;
    const int first = std::fgetc(m_file);
    if (first == EOF)
        return false;
    kind = static_cast<char>(first);
    int c = std::fgetc(m_file);
    while (c != EOF && IsBlank(c))
        c = std::fgetc(m_file);
    text.clear();
    while (c != EOF && !IsBlank(c)) {
        text += static_cast<char>(c);
        c = std::fgetc(m_file);
    }
    if (text.empty())
        return false;
    // The pattern's closing "\n" skips all white space, so the next kind is the
    // next non-blank byte.
    while (c != EOF && IsBlank(c))
        c = std::fgetc(m_file);
    if (c != EOF)
        std::ungetc(c, m_file);
    return true;
}

bool PatchLogHasFile(const char* key) {
    PatchLogReader reader;
    if (!reader.Open())
        return false;
    const std::string wanted = key ? key : "";
    char kind = 0;
    std::string text;
    while (reader.Next(kind, text)) {
        if (kind == kLogFile && NamesEqual(text, wanted))
            return true;
    }
    return false;
}

namespace {

std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

} // namespace

void StagingJournal::Load() {
    m_exists = false;
    m_versionSeen = false;
    m_version = 0;
    m_files.clear();
    std::string bytes;
    if (!platform::ReadWholeFile(kPatchLogName, bytes))
        return;
    if (!bytes.empty() && bytes.back() != '\n') {
        const std::size_t lastLine = bytes.find_last_of('\n');
        bytes.erase(lastLine == std::string::npos ? 0 : lastLine + 1);
        platform::WriteWholeFile(kPatchLogName, bytes);
    }
    PatchLogReader reader;
    if (!reader.Open())
        return;
    m_exists = true;
    char kind = 0;
    std::string text;
    while (reader.Next(kind, text)) {
        if (kind == kLogVersion && !m_versionSeen) {
            m_versionSeen = true;
            m_version = ParseVersionReadForm(text).Packed();
        } else if (kind == kLogFile) {
            m_files.insert(Folded(text));
        }
    }
}

bool StagingJournal::HasFile(const std::string& key) const {
    return m_files.count(Folded(key)) != 0;
}

bool StagingJournal::Append(char kind, const std::string& text) {
    if (!AppendPatchLog(kind, text.c_str()))
        return false;
    m_exists = true;
    if (kind == kLogVersion && !m_versionSeen) {
        m_versionSeen = true;
        m_version = ParseVersionReadForm(text).Packed();
    } else if (kind == kLogFile) {
        m_files.insert(Folded(text));
    }
    return true;
}

void StagingJournal::Discard() {
    platform::RemoveFile(kPatchLogName);
    m_exists = false;
    m_versionSeen = false;
    m_version = 0;
    m_files.clear();
}

bool ReadPatchLogVersion(std::int32_t& version) {
    PatchLogReader reader;
    if (!reader.Open())
        return false;
    ClientVersion logged;
    char kind = 0;
    std::string text;
    while (reader.Next(kind, text)) {
        if (kind == kLogVersion) {
            logged = ParseVersionReadForm(text);
            break;
        }
    }
    version = logged.Packed();
    return true;
}

bool PatchLogVersionDiffers(std::int32_t currentVersion) {
    std::int32_t logged = 0;
    return ReadPatchLogVersion(logged) && logged != currentVersion;
}

} // namespace tarnvale
