// tarnvale-patch: builds the update server's tree from folders of new game files.
//
//   tarnvale-patch init ROOT [--version-file NAME]
//   tarnvale-patch add ROOT VERSION SOURCE [options]
//
// init makes ROOT an update server root; add publishes version VERSION (its
// directory, "list.inf" and its files or "up_list.zip") under ROOT and appends it
// to ROOT's version file.
#include "tools/PatchBuilder.h"
#include "tools/ToolSupport.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace tarnvale;

constexpr char kUsage[] =
    "usage: tarnvale-patch init ROOT [--version-file NAME]\n"
    "       tarnvale-patch add ROOT VERSION SOURCE [options]\n"
    "init makes ROOT (created if needed) an update server root with an empty version\n"
    "file; add publishes VERSION (three numbers 0 to 255, e.g. 1.02.07) from the\n"
    "folder SOURCE, laid out as in the game folder, into ROOT.\n"
    "  --packed            one archive, up_list.zip (default; the only form HTTP serves)\n"
    "  --files             file by file (FTP only)\n"
    "  --compressed        with --files: store each file packed as NAME.QXC\n"
    "  --mirror            with --files: mirror the folder tree on the server\n"
    "  --remove PATH       with --packed: delete PATH from the game folder\n"
    "  --remove-dir PATH   with --packed: remove the empty folder PATH\n"
    "  --test-server       mark the version for the test server\n"
    "  --version-file NAME the version file in ROOT (default version.wvd)\n"
    "  --codepage CP       the players' code page for names (default 936)\n"
    "  --help              show this help\n";

int Usage(const std::string& problem = std::string()) {
    return tools::PrintUsage(kUsage, false, "tarnvale-patch", problem);
}

} // namespace

int main(int argc, char** argv) {
    if (tools::WantsHelp(argc, argv))
        return tools::PrintUsage(kUsage, true);
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command.size() > 1 && command[0] == '-')
        return Usage("unknown option " + tools::Printable(command));
    const int positionals = command == "init" ? 1 : command == "add" ? 3 : -1;
    if (positionals < 0)
        return Usage("unknown command " + command + " (init or add)");
    if (argc < 2 + positionals)
        return Usage(command + " needs " + (command == "init" ? "ROOT" : "ROOT VERSION SOURCE"));

    tools::PatchVersion version;
    version.root = argv[2];
    if (command == "add") {
        version.name = argv[3];
        version.source = argv[4];
    }
    for (int i = 2 + positionals; i < argc; ++i) {
        const std::string option = argv[i];
        const bool takesValue = option == "--remove" || option == "--remove-dir" ||
                                option == "--version-file" || option == "--codepage";
        if (takesValue && i + 1 >= argc)
            return Usage(option + " needs a value");
        const char* value = takesValue ? argv[++i] : nullptr;
        if (option == "--version-file") {
            version.versionFile = value;
        } else if (command == "init") {
            return Usage("unknown option for init: " + option);
        } else if (option == "--packed") {
            version.packed = true;
        } else if (option == "--files") {
            version.packed = false;
        } else if (option == "--compressed") {
            version.compressed = true;
        } else if (option == "--mirror") {
            version.mirror = true;
        } else if (option == "--test-server") {
            version.testServer = true;
        } else if (option == "--remove") {
            version.removeFiles.emplace_back(value);
        } else if (option == "--remove-dir") {
            version.removeFolders.emplace_back(value);
        } else if (option == "--codepage") {
            if (!platform::ParseCodePage(value, version.codePage))
                return Usage("--codepage takes a code page number such as 936 or CP949");
        } else {
            return Usage((option.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") +
                         tools::Printable(option));
        }
    }

    std::string error;
    if (command == "init") {
        bool created = false;
        if (!tools::InitServerRoot(version.root, version.versionFile, created, error)) {
            std::fprintf(stderr, "tarnvale-patch: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s %s as an update server root\n",
                    created ? "set up" : "already set up:", version.root.c_str());
        return 0;
    }
    tools::PublishReport report;
    if (!tools::AddVersion(version, error, &report)) {
        std::fprintf(stderr, "tarnvale-patch: %s\n", error.c_str());
        return 1;
    }
    std::printf("added version %s to %s (%zu files)\n", version.name.c_str(), version.root.c_str(),
                report.files);
    if (report.carriesLauncher)
        std::printf("it carries a new launcher: players' launchers replace themselves with it\n");
    return 0;
}
