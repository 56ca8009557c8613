#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// File operations that installation needs beyond platform/Files.h: copies that
// never leave a half-written target, attributes, file times, listings and the
// recursive removal of the staging folder. Paths follow the rules of Files.h:
// byte strings that may use "\" as the separator, relative to the game folder.
namespace tarnvale::platform {

// Attribute bits, with the values the Windows file system gives them. On POSIX
// only kAttrReadOnly (the owner's write permission) and kAttrDirectory exist.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrNormal = 0x80;
// A symbolic link or junction (Windows only); it is never entered as a folder.
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;

// The sibling name under which StagedFile and CopyFileReplacing write a file
// before it takes its final name: the target, ".~tv", the process id, "-" and
// an attempt number. Only a launcher that was stopped leaves such a name.
std::string StagingName(const std::string& target, unsigned long processId, unsigned attempt);
// Whether a file name (without folder) has that form.
bool IsStagingName(const std::string& name);
// The name under which a whole-file write or a download of this process keeps
// `target` until its last byte is there: a staging name, so that a launcher
// stopped mid-write leaves nothing the start-up sweep does not remove.
std::string PartialName(const std::string& target);

// The system's error code of the last failing file operation on this thread
// (GetLastError on Windows, errno on POSIX). The operations of Files.h keep it
// too.
int LastFileError();
// The system's text for such a code, for example "No space left on device".
std::string FileErrorText(int code);
// The text of LastFileError().
std::string LastFileErrorText();

// Copies `from` over `to`, replacing it, with its attributes and modification
// time. The copy is written beside `to` under a fresh name and renamed into
// place, so `to` either keeps its old contents or has all of the new ones. A
// read-only `to` is not replaced (as the system's own copy refuses it).
bool CopyFileReplacing(const std::string& from, const std::string& to);

// CopyFileReplacing for a staged file that is only ever deleted afterwards: where
// the system allows, the copy shares the staged file's storage (a hard link on
// POSIX), which costs no copying and no space; otherwise it is a copy.
bool PlaceStagedCopy(const std::string& from, const std::string& to);

// Renames `from` to `to`, replacing a file of that name. Fails for a read-only
// target on Windows.
bool MoveFileReplacing(const std::string& from, const std::string& to);

// The size of a file in bytes; false if it cannot be examined.
bool FileSize(const std::string& path, std::uint64_t& size);

// Reads the attribute bits; false if the path does not exist.
bool ReadAttributes(const std::string& path, std::uint32_t& attributes);
// Sets kAttrReadOnly, kAttrHidden, kAttrSystem and kAttrArchive as given (other
// bits are ignored); kAttrNormal alone, or no bit at all, clears them.
bool WriteAttributes(const std::string& path, std::uint32_t attributes);
inline bool SetNormalAttributes(const std::string& path) {
    return WriteAttributes(path, kAttrNormal);
}

// A wall-clock date and time in the local time zone, as zip archives store them.
struct LocalDateTime {
    int year = 1980;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Sets the modification time, and sets the creation time (where the system keeps
// one) and the last-access time to the present. False for a date the system
// cannot represent; the file's times are then left as they are.
bool SetFileTimes(const std::string& path, const LocalDateTime& modified);

struct DirectoryEntry {
    std::string name; // without the folder
    std::uint32_t attributes = 0;
    bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

// The entries of `folder` except "." and "..". A symbolic link or junction is
// listed as what it is, never as the folder it points to.
bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries);

// Removes `folder` with everything in it, read-only files included. Links inside
// it are removed as links: nothing outside `folder` is ever touched. Goes on past
// entries it cannot remove and reports whether everything went.
bool RemoveTree(const std::string& folder);

// A file opened for reading, others being denied write access where the system
// supports it, with 64-bit positions. Closed on destruction.
class InputFile {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { Close(); }

    bool Open(const std::string& path);
    // Reads up to `size` bytes; 0 at end of file. False on a read error.
    bool Read(void* buffer, std::size_t size, std::size_t& got);
    bool Seek(std::uint64_t position);
    bool Size(std::uint64_t& size) const;
    void Close();
    bool IsOpen() const { return m_handle != -1; }

  private:
    std::intptr_t m_handle = -1;
};

// A file written beside its final name and put in place only when it is
// complete. Until Commit, the final name keeps whatever it had before; a file
// that is discarded (or destroyed uncommitted) leaves nothing behind.
class StagedFile {
  public:
    StagedFile() = default;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile() { Discard(); }

    // Creates the staging file in the folder of `finalPath`.
    bool Create(const std::string& finalPath);
    bool Write(const void* data, std::size_t size);
    // Closes the staging file and renames it over the final name.
    bool Commit();
    // Closes and deletes the staging file, if any.
    void Discard();
    bool IsOpen() const;

  private:
    bool CloseHandle();

    std::string m_finalPath; // as given (may use "\")
    std::string m_stagePath; // native form
    std::intptr_t m_handle = -1;
};

} // namespace tarnvale::platform
