// tarnvale-qxc: packs a file into the ".QXC" form that file-by-file versions
// publish, and unpacks one, exactly as the launcher does.
#include "platform/Files.h"
#include "update/PackedFile.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace tarnvale;

int Usage() {
    std::fprintf(stderr, "usage: tarnvale-qxc pack FILE FOLDER\\\n"
                         "       tarnvale-qxc unpack FILE.QXC FOLDER\\\n"
                         "FOLDER must exist; FILE.QXC unpacks to FOLDER\\FILE.\n");
    return 2;
}

// The launcher's naming rule only counts a folder that ends in a separator.
// Operators naming an existing folder without one mean that folder.
std::string AsFolder(const char* argument) {
    std::string folder = argument;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/' &&
        platform::IsDirectory(folder))
        folder += '\\';
    return folder;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return Usage();
    const std::string folder = AsFolder(argv[3]);
    if (std::strcmp(argv[1], "pack") == 0) {
        const std::string output = PackedPathFor(argv[2], folder);
        if (!PackQxcFile(argv[2], folder.c_str())) {
            std::fprintf(stderr, "tarnvale-qxc: cannot pack %s into %s\n", argv[2], output.c_str());
            return 1;
        }
        std::printf("%s\n", platform::NativePath(output).c_str());
        return 0;
    }
    if (std::strcmp(argv[1], "unpack") == 0) {
        const std::string output = UnpackedPathFor(argv[2], folder);
        if (!UnpackQxcFile(argv[2], folder.c_str())) {
            std::fprintf(stderr,
                         "tarnvale-qxc: cannot unpack %s into %s (missing, damaged, truncated "
                         "or followed by extra bytes)\n",
                         argv[2], output.c_str());
            return 1;
        }
        std::printf("%s\n", platform::NativePath(output).c_str());
        return 0;
    }
    return Usage();
}
