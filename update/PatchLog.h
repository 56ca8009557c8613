#pragma once

#include "platform/Names.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_set>

namespace tarnvale {

// "patch.log", the staging journal of the FTP road: one line per record, a kind
// character, a blank, a text without white space, a line feed.
inline constexpr char kPatchLogName[] = "patch.log";
inline constexpr char kLogVersion = 'V'; // the version being staged, "%d.%d.%d"
inline constexpr char kLogFile = 'F';    // a staged file, relative to "Temp"

// Appends one line (the journal is created when absent). False when it cannot
// be opened or written, and also, writing nothing, for an empty text or one with
// white space in it: the reader splits texts at white space, so such a line
// would read back as a different file. A road that stages a file whose name has
// a blank must therefore fail the version rather than ignore this result.
bool AppendPatchLog(char kind, const char* text);

// Whether an `F` line's text equals `key` without regard to case. False when
// the journal cannot be opened.
bool PatchLogHasFile(const char* key);

// Whether the journal's first `V` line (read as a version, 0.0.0 when there is
// none) differs from `currentVersion` (a packed version). False when the journal
// cannot be opened.
bool PatchLogVersionDiffers(std::int32_t currentVersion);

// The packed version of the journal's first `V` line (0 when there is none);
// false when there is no journal to read.
bool ReadPatchLogVersion(std::int32_t& version);

// The journal as the FTP road keeps it while it stages one version: read once
// when the version's files begin, then kept in step with every line appended,
// so that a file costs one appended line and no re-reading of the journal.
class StagingJournal {
  public:
    // Reads "patch.log" if there is one. A last line without its line feed was
    // cut short (a disk that filled while it was written) and would read back as
    // another name; it is removed from the file first.
    void Load();
    bool Exists() const { return m_exists; }
    // The packed version of the first `V` line (0 when there is none).
    std::int32_t Version() const { return m_version; }
    // Whether an `F` line's text equals `key` without regard to case.
    bool HasFile(const std::string& key) const;
    // AppendPatchLog, remembered.
    bool Append(char kind, const std::string& text);
    // Deletes the journal.
    void Discard();

  private:
    bool m_exists = false;
    bool m_versionSeen = false;
    std::int32_t m_version = 0;
    std::unordered_set<std::string> m_files; // folded to lower-case ASCII
};

// Reads the journal record by record as the pattern "%c %s\n" does: the kind is
// the next byte, the text the following run of non-blank bytes; white space
// after the text is skipped. The file is open only while the reader lives.
class PatchLogReader {
  public:
    PatchLogReader() = default;
    PatchLogReader(const PatchLogReader&) = delete;
    PatchLogReader& operator=(const PatchLogReader&) = delete;
    ~PatchLogReader() { Close(); }

    bool Open(const char* path = kPatchLogName);
    // False at end of file (also when a kind has no text before the end).
    bool Next(char& kind, std::string& text);
    void Close();

  private:
    std::FILE* m_file = nullptr;
};

} // namespace tarnvale
