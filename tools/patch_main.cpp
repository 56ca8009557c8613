// tarnvale-patch: builds the update server's tree from folders of new game files.
//
//   tarnvale-patch add ROOT VERSION SOURCE [options]
//
// adds version VERSION (its directory, "list.inf" and its files or "up_list.zip")
// under the server root ROOT and appends it to ROOT's version file.
#include "tools/PatchBuilder.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: tarnvale-patch add ROOT VERSION SOURCE [options]\n"
        "  --packed            one archive, up_list.zip (default; the only form HTTP serves)\n"
        "  --files             file by file (FTP only)\n"
        "  --compressed        with --files: store each file packed as NAME.QXC\n"
        "  --mirror            with --files: mirror the folder tree on the server\n"
        "  --remove PATH       with --packed: delete PATH from the game folder\n"
        "  --remove-dir PATH   with --packed: remove the empty folder PATH\n"
        "  --test-server       mark the version for the test server\n"
        "  --version-file NAME the version file in ROOT (default version.wvd)\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[1], "add") != 0)
        return Usage();
    tarnvale::tools::PatchVersion version;
    version.root = argv[2];
    version.name = argv[3];
    version.source = argv[4];
    for (int i = 5; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (option == "--packed") {
            version.packed = true;
        } else if (option == "--files") {
            version.packed = false;
        } else if (option == "--compressed") {
            version.compressed = true;
        } else if (option == "--mirror") {
            version.mirror = true;
        } else if (option == "--test-server") {
            version.testServer = true;
        } else if (option == "--remove" || option == "--remove-dir" || option == "--version-file") {
            const char* v = value();
            if (!v)
                return Usage();
            if (option == "--remove")
                version.removeFiles.emplace_back(v);
            else if (option == "--remove-dir")
                version.removeFolders.emplace_back(v);
            else
                version.versionFile = v;
        } else {
            std::fprintf(stderr, "tarnvale-patch: unknown option %s\n", option.c_str());
            return Usage();
        }
    }
    std::string error;
    if (!tarnvale::tools::AddVersion(version, error)) {
        std::fprintf(stderr, "tarnvale-patch: %s\n", error.c_str());
        return 1;
    }
    std::printf("added version %s to %s\n", version.name.c_str(), version.root.c_str());
    return 0;
}
