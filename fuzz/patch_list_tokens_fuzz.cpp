// Reads arbitrary bytes as a patch list: token by token, then in both of the
// readings the update roads use, checking what each promises its callers.
#include "update/PatchList.h"
#include "update/PathSafety.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using tarnvale::FileByFileReading;
using tarnvale::FileEntry;
using tarnvale::PackedEntry;
using tarnvale::PackedReading;
using tarnvale::PatchListReader;
using tarnvale::TokenKind;

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void Tokens(const std::string& bytes) {
    PatchListReader reader(bytes);
    // Every token but End takes at least one byte, so the input bounds the count.
    for (std::size_t count = 0;; ++count) {
        Check(count <= bytes.size());
        const TokenKind kind = reader.NextToken();
        Check(reader.Text().size() <= tarnvale::kMaxTokenText);
        if (kind != TokenKind::Name && kind != TokenKind::Keyword)
            Check(reader.Text().empty());
        if (kind == TokenKind::End)
            break;
    }
    Check(reader.NextToken() == TokenKind::End);
}

void FileByFile(const std::string& bytes) {
    PatchListReader reader(bytes);
    FileByFileReading reading(reader);
    for (std::size_t count = 0;; ++count) {
        Check(count <= bytes.size());
        const FileEntry entry = reading.Next();
        if (entry.kind == FileEntry::Kind::File) {
            Check(tarnvale::IsSafeGamePath(entry.name));
            Check(entry.localPath == "Temp\\" + entry.relativePath);
        }
        if (entry.kind == FileEntry::Kind::Folder && !entry.folder.empty())
            Check(tarnvale::IsSafeGamePath(entry.folder));
        if (entry.kind == FileEntry::Kind::End || entry.kind == FileEntry::Kind::Rejected)
            break;
    }
}

void Packed(const std::string& bytes) {
    PatchListReader reader(bytes);
    PackedReading reading(reader, tarnvale::LauncherFileName());
    for (std::size_t count = 0;; ++count) {
        Check(count <= bytes.size());
        const PackedEntry entry = reading.Next();
        if (entry.kind == PackedEntry::Kind::DeleteFile ||
            entry.kind == PackedEntry::Kind::DeleteFolder)
            Check(tarnvale::IsSafeGamePath(entry.path));
        if (entry.kind == PackedEntry::Kind::End || entry.kind == PackedEntry::Kind::Rejected)
            break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Tokens(bytes);
    FileByFile(bytes);
    Packed(bytes);
    PatchListReader flags(bytes);
    (void)tarnvale::ListHasKeyword(flags, "COMPRESSED");
    return 0;
}
