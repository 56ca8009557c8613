// bench_extract ARCHIVE GAMEFOLDER: one run of the launcher's version-archive
// extraction, for timing against unzip. The archive is deleted on success, as
// the launcher does, so the script hands it a copy.
#include "platform/MessageBox.h"
#include "update/Installation.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_extract ARCHIVE GAMEFOLDER/\n");
        return 2;
    }
    tarnvale::platform::SetMessageBoxHook(
        [](const char* text, const char*, unsigned, tarnvale::platform::TextCodePage) {
            std::fprintf(stderr, "bench_extract: %s\n", text);
            return 1;
        });
    std::string folder = argv[2];
    if (folder.empty() || (folder.back() != '/' && folder.back() != '\\'))
        folder += '/';
    return tarnvale::ExtractUpdateArchive(argv[1], folder.c_str()) ? 0 : 1;
}
