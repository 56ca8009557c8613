// Feeds arbitrary bytes to the zip reader, to the extraction of a version
// archive and to the packed-file unpacker. The first byte picks which; the rest
// is the file. Extraction runs in a sandbox two folders deep and traps if
// anything appears outside the game folder.
//
// Seeds: any zip or bzip2 file with one byte in front (0 reader, 1 extraction,
// 2 unpacking), for example the test fixtures:
//   for f in build/linux/tests/install/fixtures/*.zip; do
//     { printf '\001'; cat "$f"; } > corpus/$(basename "$f"); done
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "update/CUnzipFile.h"
#include "update/Installation.h"
#include "update/PackedFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tarnvale;

struct Sandbox {
    std::string outer; // holds only "box"
    std::string box;   // holds only "game"
    std::string game;  // the current directory
};

const Sandbox& TheSandbox() {
    static const Sandbox sandbox = [] {
        platform::SetMessageBoxHook(
            [](const char*, const char*, unsigned, platform::TextCodePage) { return 1; });
        char pattern[] = "/tmp/tarnvale-archive-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made)
            std::abort();
        Sandbox s;
        s.outer = made;
        s.box = s.outer + "/box";
        s.game = s.box + "/game";
        platform::MakeDirectory(s.box);
        platform::MakeDirectory(s.game);
        platform::ChangeDirectory(s.game);
        // Removed at exit through its own copy of the path: the static strings
        // are gone by the time exit handlers registered before them run.
        static char outerCopy[64];
        std::snprintf(outerCopy, sizeof outerCopy, "%s", made);
        std::atexit([] { platform::RemoveTree(outerCopy); });
        return s;
    }();
    return sandbox;
}

void ExpectOnly(const std::string& folder, const std::string& name) {
    std::vector<platform::DirectoryEntry> entries;
    platform::ListDirectory(folder, entries);
    if (entries.size() != 1 || entries[0].name != name)
        __builtin_trap(); // something was written outside the game folder
}

void WalkArchive(const std::string& path) {
    try {
        CUnzipFile zip(path);
        int entries = 0;
        for (bool more = zip.GoToFirstFile(); more && entries < 64; more = zip.GoToNextFile()) {
            ++entries;
            UnzipFileInfo info;
            zip.GetCurrentFileInfo(info);
            const std::string name = zip.GetCurrentFileName();
            if (name.size() != info.nameLength)
                __builtin_trap();
            zip.OpenCurrentFile();
            char buffer[CUnzipFile::kReadBufferSize];
            std::size_t total = 0;
            std::size_t got;
            while ((got = zip.ReadCurrentFile(buffer, sizeof buffer)) > 0 && total < (8u << 20))
                total += got;
        }
        zip.Close();
    } catch (const CZipException&) {
    } catch (const CFileException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Sandbox& sandbox = TheSandbox();
    if (size < 1)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    platform::MakeDirectory("Temp");
    switch (data[0] % 3) {
    case 0:
        platform::WriteWholeFile("Temp\\in.zip", bytes);
        WalkArchive("Temp\\in.zip");
        break;
    case 1:
        platform::WriteWholeFile("Temp\\up_list.zip", bytes);
        static_cast<void>(ExtractUpdateArchive("Temp\\up_list.zip", (sandbox.game + "\\").c_str()));
        break;
    default:
        platform::WriteWholeFile("Temp\\in.QXC", bytes);
        UnpackQxcFile("Temp\\in.QXC", "Temp\\");
        break;
    }
    ExpectOnly(sandbox.outer, "box");
    ExpectOnly(sandbox.box, "game");
    // Start the next input from an empty game folder.
    std::vector<platform::DirectoryEntry> entries;
    platform::ListDirectory(".", entries);
    for (const platform::DirectoryEntry& entry : entries)
        platform::RemoveTree(entry.name);
    return 0;
}
