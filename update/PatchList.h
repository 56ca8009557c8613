#pragma once

#include "msg/StepResult.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tarnvale {

class LauncherWindow;
struct LauncherState;
struct UpdateState;

// Kinds of token in a patch list or version file. The numbers are the kinds' fixed
// codes; TooLong is this reader's own: a name, keyword or number beyond the limits
// below, which fails the list or version file that holds it.
enum class TokenKind : int {
    Name = 0,
    Number = 1,
    End = 2,
    Keyword = 35,
    Comma = 44,
    Semicolon = 59,
    DeleteMark = 60,
    Other = 61,
    OpenBrace = 123,
    CloseBrace = 125,
    TooLong = -1,
};

// A name or keyword holds at most this many bytes; a number at most this many
// characters.
inline constexpr std::size_t kMaxTokenText = 103;
inline constexpr std::size_t kMaxNumberLength = 107;

// The staging folder and the local copy of a packed version's archive.
inline constexpr char kStagingFolder[] = "Temp";
inline constexpr char kStagedArchivePath[] = "Temp\\up_list.zip";

// The four flag keywords of a patch list.
inline constexpr char kFlagTestServer[] = "TEST_SERVER";
inline constexpr char kFlagCompressed[] = "COMPRESSED";
inline constexpr char kFlagNewToolVersion[] = "NEWTOOLVERSION";
inline constexpr char kFlagPackingVersion[] = "PACKINGVERSION";

// Reads the tokens of a patch list ("list.inf") or of the version file. The input
// is read as a text file: "\r\n" reads as "\n". A byte of value 255 reads as the
// end of the input, and nothing after it is read.
//
// Tokens: "//" starts a comment to the end of the line, a lone "/" is dropped;
// white space separates; "..." is a quoted Name (any bytes but '"' and 255);
// #...# a Keyword; "," ";" "{" "}" their own kinds; "-", "." or a digit starts a
// Number made of those characters, and the character after it is swallowed with
// it (so "1\"a\"" reads as a Number, the bare name a, then a quoted name that
// runs to the next '"'); "@" a DeleteMark; an ASCII letter starts a bare Name of
// letters, digits, "." and "_" (so Item-1 is the Name Item and the Number -1);
// anything else, bytes above 127 included, is Other.
class PatchListReader {
  public:
    PatchListReader() = default;
    explicit PatchListReader(std::string bytes) : m_bytes(std::move(bytes)), m_open(true) {}

    // Reads the whole file as the input. False, and no input, if it cannot be read.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_open; }

    TokenKind NextToken();
    // The text of the last Name or Keyword (empty for every other kind). Valid until
    // the next call.
    const std::string& Text() const { return m_text; }

  private:
    static constexpr int kEnd = -1;
    int Get();
    void PutBack();
    // Reads up to `stop` or the end; false if more than kMaxTokenText bytes came.
    bool ReadUntil(int stop);

    std::string m_bytes;
    std::size_t m_pos = 0;
    std::size_t m_lastWidth = 0; // bytes taken by the last Get, for PutBack
    bool m_ended = false;
    bool m_open = false;
    std::string m_text;
};

// A token's text as a zero-terminated string sees it: up to its first zero byte
// (quoted names may hold one). Comparisons of names and keywords use this.
inline std::string_view TokenString(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Whether the list holds the keyword `key` (without regard to case), anywhere.
// Reads the reader to the end.
bool ListHasKeyword(PatchListReader& reader, std::string_view key);

// Opens "list.inf" in the current directory and reports whether it holds `key`:
// 1 or 0. A list that cannot be opened shows message 113 and reads as 0.
int ReadListFlag(std::string_view key, const LauncherState& launcher, LauncherWindow& window);

// One step of the file-by-file reading of a version's list.
struct FileEntry {
    enum class Kind {
        File,    // fetch `name` into `localPath`
        Folder,  // `folder` becomes the current folder; create it here and under Temp
        Ignored, // a token without meaning for this reading
        End,     // the list is complete
        Rejected // an overlong token or a path leaving the game folder: fail the version
    };
    Kind kind = Kind::End;
    std::string name;         // File: the name in the current remote directory
    std::string relativePath; // File: folder + "\" + name (just the name at top level)
    std::string localPath;    // File: "Temp\" + relativePath
    std::string folder;       // Folder: the new current folder
};

// The file-by-file reading (a version without PACKINGVERSION): a Name is a file of
// the version in the current folder; a Number and the token after it make a
// folder entry (the second token's text is the folder); everything else is
// ignored, so a name after "@" is an ordinary file here. The caller dispatches one
// window message after each step.
class FileByFileReading {
  public:
    explicit FileByFileReading(PatchListReader& reader) : m_reader(reader) {}
    FileEntry Next();
    const std::string& CurrentFolder() const { return m_folder; }

  private:
    PatchListReader& m_reader;
    std::string m_folder;
};

// One step of the packed reading of a version's list.
struct PackedEntry {
    enum class Kind {
        SelfUpdate,   // the list names the launcher's own executable
        DeleteFile,   // delete `path` from the game folder if it exists
        DeleteFolder, // remove the folder `path` from the game folder if it is empty
        Ignored,
        End,
        Rejected // an overlong token or a path leaving the game folder
    };
    Kind kind = Kind::End;
    std::string path;
};

// The packed reading (a version with PACKINGVERSION, and every version on the HTTP
// road): a Name equal to `launcherFileName` (without regard to case) asks for the
// self-update; "@" and a Name delete that file; "@", a Number and any token remove
// the folder the third token names; "@" and any other token consume it.
class PackedReading {
  public:
    PackedReading(PatchListReader& reader, std::string launcherFileName)
        : m_reader(reader), m_launcherFileName(std::move(launcherFileName)) {}
    PackedEntry Next();

  private:
    PatchListReader& m_reader;
    std::string m_launcherFileName;
};

// The launcher's own executable name as lists name it: "Tarnvale登录器.exe".
std::string LauncherFileName();

// Runs the packed reading over the reader to its end: deletes the named files
// (attributes made normal first) and empty folders below `gameFolder` (the current
// directory; each path is gameFolder + "\" + name), failures silent, and sets
// `selfUpdatePending` when the list names the launcher. `afterEntry`, if given,
// runs after each step (the FTP road dispatches a window message there). A
// rejected list shows message 113 and fails with it.
StepResult ApplyDeleteEntries(PatchListReader& reader, const std::string& gameFolder,
                              UpdateState& update, const LauncherState& launcher,
                              LauncherWindow& window, const std::function<void()>& afterEntry = {});

} // namespace tarnvale
