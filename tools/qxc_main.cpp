// tarnvale-qxc: packs a file into the ".QXC" form that file-by-file versions
// publish, and unpacks one, exactly as the launcher does.
#include "platform/Files.h"
#include "tools/ToolSupport.h"
#include "update/PackedFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace tarnvale;

constexpr char kUsage[] = "usage: tarnvale-qxc pack FILE FOLDER\\\n"
                          "       tarnvale-qxc unpack FILE.QXC FOLDER\\\n"
                          "FOLDER must exist; FILE.QXC unpacks to FOLDER\\FILE.\n"
                          "  --help  show this help\n";

int Usage(const std::string& problem = std::string()) {
    return tools::PrintUsage(kUsage, false, "tarnvale-qxc", problem);
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

// Why packing or unpacking `input` into `folder` cannot even start; empty when
// both look usable, so that the failure lies in the data or in writing.
std::string WhyNotStarted(const char* input, const std::string& folder) {
    if (const std::string why = tools::WhyUnreadable(platform::NativePath(input)); !why.empty())
        return std::string(input) + " " + why;
    const std::string parent = SplitPathParts(folder).drive + SplitPathParts(folder).folder;
    if (!parent.empty() && !platform::IsDirectory(parent))
        return "the folder " + parent + " does not exist";
    return std::string();
}

int Fail(const char* verb, const char* input, const std::string& output, const std::string& why) {
    std::fprintf(stderr, "tarnvale-qxc: cannot %s %s into %s: %s\n", verb, input, output.c_str(),
                 why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (tools::WantsHelp(argc, argv))
        return tools::PrintUsage(kUsage, true);
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage(std::string("unknown option ") + tools::Printable(argv[i]));
    if (argc < 2)
        return Usage();
    const bool pack = std::strcmp(argv[1], "pack") == 0;
    if (!pack && std::strcmp(argv[1], "unpack") != 0)
        return Usage(std::string("unknown command ") + tools::Printable(argv[1]));
    if (argc != 4)
        return Usage(std::string(argv[1]) + " needs a file and a folder");
    const std::string folder = AsFolder(argv[3]);
    const std::string output =
        pack ? PackedPathFor(argv[2], folder) : UnpackedPathFor(argv[2], folder);
    const std::string shownOutput = platform::NativePath(output);
    if (const std::string why = WhyNotStarted(argv[2], folder); !why.empty())
        return Fail(pack ? "pack" : "unpack", argv[2], shownOutput, why);
    if (pack) {
        if (!PackQxcFile(argv[2], folder.c_str()))
            return Fail("pack", argv[2], shownOutput,
                        "writing failed (is the folder writable, is the disk full?)");
    } else if (!UnpackQxcFile(argv[2], folder.c_str())) {
        return Fail("unpack", argv[2], shownOutput,
                    "it is damaged, truncated or followed by extra bytes, or the output cannot "
                    "be written");
    }
    std::printf("%s\n", shownOutput.c_str());
    return 0;
}
