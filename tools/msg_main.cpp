// tarnvale-msg: builds message.wtf from its readable source and dumps a
// message.wtf back into that source form.
#include "msg/MessageFile.h"
#include "msg/MessageSource.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "tarnvale/settings.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace tarnvale;

int Usage() {
    std::fprintf(stderr, "usage: tarnvale-msg build SOURCE OUT.wtf\n"
                         "       tarnvale-msg dump FILE.wtf\n");
    return 2;
}

int Build(const char* sourcePath, const char* outPath) {
    std::string source;
    if (!platform::ReadWholeFile(sourcePath, source)) {
        std::fprintf(stderr, "tarnvale-msg: cannot read %s\n", sourcePath);
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
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        std::fprintf(stderr, "tarnvale-msg: cannot read %s\n", path);
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
    if (argc == 4 && std::strcmp(argv[1], "build") == 0)
        return Build(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "dump") == 0)
        return Dump(argv[2]);
    return Usage();
}
