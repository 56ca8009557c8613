#include "update/PatchList.h"

#include "platform/Names.h"

#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "tarnvale/settings.h"
#include "update/PathSafety.h"
#include "update/UpdateServer.h"
#include "update/UpdateState.h"

namespace tarnvale {
namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
// Only ASCII letters: bytes above 127 are not letters outside quotes, so names
// written in another script must be quoted.
bool IsLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

bool PatchListReader::Open(const std::string& path) {
    Close();
    if (!platform::ReadWholeFile(path, m_bytes)) {
        m_bytes.clear();
        return false;
    }
    m_open = true;
    return true;
}

void PatchListReader::Close() {
    m_bytes.clear();
    m_pos = 0;
    m_lastWidth = 0;
    m_ended = false;
    m_open = false;
    m_text.clear();
}

int PatchListReader::Get() {
    m_lastWidth = 0;
    if (m_ended || m_pos >= m_bytes.size()) {
        m_ended = true;
        return kEnd;
    }
    const auto c = static_cast<unsigned char>(m_bytes[m_pos]);
    if (c == 255) {
        // Read into a signed character, this byte equals the end-of-file value; the
        // input ends here for good.
        m_ended = true;
        return kEnd;
    }
    if (c == '\r' && m_pos + 1 < m_bytes.size() && m_bytes[m_pos + 1] == '\n') {
        m_pos += 2;
        m_lastWidth = 2;
        return '\n';
    }
    ++m_pos;
    m_lastWidth = 1;
    return c;
}

void PatchListReader::PutBack() {
    m_pos -= m_lastWidth;
    m_lastWidth = 0;
}

bool PatchListReader::ReadUntil(int stop) {
    bool fits = true;
    for (int c = Get(); c != kEnd && c != stop; c = Get()) {
        if (m_text.size() < kMaxTokenText)
            m_text += static_cast<char>(c);
        else
            fits = false; // keep reading to the token's end, storing nothing more
    }
    if (!fits)
        m_text.clear();
    return fits;
}

TokenKind PatchListReader::NextToken() {
    m_text.clear();
    for (;;) {
        int c = Get();
        if (c == '/') {
            c = Get();
            if (c == '/') {
                do
                    c = Get();
                while (c != '\n' && c != kEnd);
            }
            // Otherwise the "/" is dropped and the character after it goes on.
        }
        if (c == kEnd)
            return TokenKind::End;
        if (IsSpace(c))
            continue;

        switch (c) {
        case '"':
            return ReadUntil('"') ? TokenKind::Name : TokenKind::TooLong;
        case '#':
            return ReadUntil('#') ? TokenKind::Keyword : TokenKind::TooLong;
        case ',':
            return TokenKind::Comma;
        case ';':
            return TokenKind::Semicolon;
        case '{':
            return TokenKind::OpenBrace;
        case '}':
            return TokenKind::CloseBrace;
        case '@':
            return TokenKind::DeleteMark;
        default:
            break;
        }

        if (c == '-' || c == '.' || IsDigit(c)) {
            // The character that ends the number is taken with it, whatever it is.
            std::size_t length = 1;
            for (c = Get(); c == '-' || c == '.' || IsDigit(c); c = Get())
                ++length;
            return length > kMaxNumberLength ? TokenKind::TooLong : TokenKind::Number;
        }

        if (IsLetter(c)) {
            m_text += static_cast<char>(c);
            for (c = Get(); IsLetter(c) || IsDigit(c) || c == '.' || c == '_'; c = Get()) {
                if (m_text.size() <= kMaxTokenText) // one byte more marks an overlong name
                    m_text += static_cast<char>(c);
            }
            PutBack();
            if (m_text.size() > kMaxTokenText) {
                m_text.clear();
                return TokenKind::TooLong;
            }
            return TokenKind::Name;
        }
        return TokenKind::Other;
    }
}

bool ListHasKeyword(PatchListReader& reader, std::string_view key) {
    for (;;) {
        const TokenKind kind = reader.NextToken();
        if (kind == TokenKind::End)
            return false;
        if (kind == TokenKind::Keyword && NamesEqual(TokenString(reader.Text()), key))
            return true;
    }
}

int ReadListFlag(std::string_view key, const LauncherState& launcher, LauncherWindow& window) {
    PatchListReader reader;
    if (!reader.Open(updateserver::kPatchListName)) {
        window.SetStatusText(launcher.Text(msgid::kCannotOpenListFile));
        return 0;
    }
    return ListHasKeyword(reader, key) ? 1 : 0;
}

FileEntry FileByFileReading::Next() {
    FileEntry entry;
    switch (m_reader.NextToken()) {
    case TokenKind::End:
        entry.kind = FileEntry::Kind::End;
        return entry;
    case TokenKind::TooLong:
        entry.kind = FileEntry::Kind::Rejected;
        return entry;
    case TokenKind::Name:
        entry.name = m_reader.Text();
        if (!IsSafeGamePath(entry.name)) {
            entry.kind = FileEntry::Kind::Rejected;
            return entry;
        }
        entry.kind = FileEntry::Kind::File;
        entry.relativePath = m_folder.empty() ? entry.name : m_folder + "\\" + entry.name;
        entry.localPath = std::string(kStagingFolder) + "\\" + entry.relativePath;
        return entry;
    case TokenKind::Number: {
        const TokenKind second = m_reader.NextToken();
        if (second == TokenKind::End || second == TokenKind::TooLong) {
            entry.kind =
                second == TokenKind::End ? FileEntry::Kind::End : FileEntry::Kind::Rejected;
            return entry;
        }
        // Any token names the folder; one without text brings back the top level.
        const std::string& folder = m_reader.Text();
        if (!folder.empty() && !IsSafeGamePath(folder)) {
            entry.kind = FileEntry::Kind::Rejected;
            return entry;
        }
        m_folder = folder;
        entry.kind = FileEntry::Kind::Folder;
        entry.folder = m_folder;
        return entry;
    }
    default:
        entry.kind = FileEntry::Kind::Ignored;
        return entry;
    }
}

PackedEntry PackedReading::Next() {
    PackedEntry entry;
    // Maps the end of the input and an overlong token, wherever they stand in an
    // entry; false for every other kind.
    auto ends = [&entry](TokenKind kind) {
        if (kind == TokenKind::End)
            entry.kind = PackedEntry::Kind::End;
        else if (kind == TokenKind::TooLong)
            entry.kind = PackedEntry::Kind::Rejected;
        else
            return false;
        return true;
    };
    // A path to remove: an empty one removes nothing, one that leaves the game
    // folder fails the list.
    auto target = [&entry](const std::string& path, PackedEntry::Kind kind) {
        if (path.empty()) {
            entry.kind = PackedEntry::Kind::Ignored;
        } else if (!IsSafeGamePath(path)) {
            entry.kind = PackedEntry::Kind::Rejected;
        } else {
            entry.kind = kind;
            entry.path = path;
        }
        return entry;
    };

    const TokenKind first = m_reader.NextToken();
    if (ends(first))
        return entry;
    if (first == TokenKind::Name) {
        entry.kind = NamesEqual(TokenString(m_reader.Text()), m_launcherFileName)
                         ? PackedEntry::Kind::SelfUpdate
                         : PackedEntry::Kind::Ignored;
        return entry;
    }
    if (first != TokenKind::DeleteMark) {
        entry.kind = PackedEntry::Kind::Ignored;
        return entry;
    }
    const TokenKind second = m_reader.NextToken();
    if (ends(second))
        return entry;
    if (second == TokenKind::Name)
        return target(m_reader.Text(), PackedEntry::Kind::DeleteFile);
    if (second == TokenKind::Number) {
        const TokenKind third = m_reader.NextToken();
        if (ends(third))
            return entry;
        return target(m_reader.Text(), PackedEntry::Kind::DeleteFolder);
    }
    entry.kind = PackedEntry::Kind::Ignored;
    return entry;
}

std::string LauncherFileName() {
    return std::string(settings::kLauncherName) + ".exe";
}

StepResult ApplyDeleteEntries(PatchListReader& reader, const std::string& gameFolder,
                              UpdateState& update, const LauncherState& launcher,
                              LauncherWindow& window, const std::function<void()>& afterEntry) {
    // Without a folder the names stay relative to the current directory; a bare
    // "\" would put them at the root of the drive.
    const std::string prefix = gameFolder.empty() ? std::string() : gameFolder + "\\";
    PackedReading reading(reader, LauncherFileName());
    for (;;) {
        const PackedEntry entry = reading.Next();
        switch (entry.kind) {
        case PackedEntry::Kind::End:
            return {};
        case PackedEntry::Kind::Rejected:
            window.SetStatusText(launcher.Text(msgid::kCannotOpenListFile));
            return StepResult::Failure(
                msgid::kCannotOpenListFile,
                "the patch list holds an overlong token or a path that leaves the game folder");
        case PackedEntry::Kind::SelfUpdate:
            update.selfUpdatePending = true;
            break;
        case PackedEntry::Kind::DeleteFile: {
            const std::string path = prefix + entry.path;
            if (platform::PathExists(path) && !platform::IsDirectory(path)) {
                platform::SetNormalAttributes(path);
                platform::RemoveFile(path);
            }
            break;
        }
        case PackedEntry::Kind::DeleteFolder: {
            const std::string path = prefix + entry.path;
            if (platform::IsDirectory(path))
                platform::RemoveEmptyDirectory(path);
            break;
        }
        case PackedEntry::Kind::Ignored:
            break;
        }
        if (afterEntry)
            afterEntry();
    }
}

} // namespace tarnvale
