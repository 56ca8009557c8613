// tarnvale-msg: builds message.wtf from its readable source and dumps a
// message.wtf back into that source form.
#include "msg/MessageFile.h"
#include "msg/MessageSource.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "tarnvale/settings.h"
#include "tools/ToolSupport.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace tarnvale;

constexpr char kUsage[] = "usage: tarnvale-msg build SOURCE OUT.wtf\n"
                          "       tarnvale-msg dump FILE.wtf\n"
                          "build compiles a readable source (one record per line: identifier,\n"
                          "tab, text) into a message table; dump prints a table as its source.\n"
                          "  --help  show this help\n";

int Usage(const std::string& problem = std::string()) {
    return tools::PrintUsage(kUsage, false, "tarnvale-msg", problem);
}

int Build(const char* sourcePath, const char* outPath) {
    std::string source, why;
    if (!tools::ReadToolFile(sourcePath, source, why)) {
        std::fprintf(stderr, "tarnvale-msg: cannot read %s: %s\n", sourcePath, why.c_str());
        return 1;
    }
    std::vector<msg::MessageFileRecord> records;
    msg::SourceError error;
    if (!msg::ParseMessageSource(source, records, error)) {
        std::fprintf(stderr, "tarnvale-msg: %s:%d: %s\n", sourcePath, error.line,
                     error.what.c_str());
        return 1;
    }
    if (!platform::WriteWholeFile(outPath,
                                  msg::SerializeMessageFile(records, settings::kMessageKey))) {
        std::fprintf(stderr, "tarnvale-msg: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}

int Dump(const char* path) {
    std::string bytes, why;
    if (!tools::ReadToolFile(path, bytes, why)) {
        std::fprintf(stderr, "tarnvale-msg: cannot read %s: %s\n", path, why.c_str());
        return 1;
    }
    const msg::MessageFile file = msg::ParseMessageFile(bytes, settings::kMessageKey);
    const std::string text = msg::FormatMessageSource(file.records);
    platform::SetStdoutBinary();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (file.status != msg::MessageFileStatus::Ok) {
        std::fprintf(stderr, "tarnvale-msg: %s: %s (after %zu of %d records)\n", path,
                     msg::DescribeStatus(file.status), file.records.size(), file.count);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (tools::WantsHelp(argc, argv))
        return tools::PrintUsage(kUsage, true);
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage(std::string("unknown option ") + tools::Printable(argv[i]));
    if (argc == 4 && std::strcmp(argv[1], "build") == 0)
        return Build(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "dump") == 0)
        return Dump(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "build") != 0 && std::strcmp(argv[1], "dump") != 0)
        return Usage(std::string("unknown command ") + tools::Printable(argv[1]));
    return Usage(argc < 2 ? std::string() : std::string("wrong number of arguments"));
}
