// tarnvale-launcher: the launcher without a window. It runs the whole road in a
// terminal: connect, update, choose a partition, start the game client.
#include "app/CUpdateApp.h"
#include "cli/HeadlessFrontEnd.h"
#include "platform/Files.h"
#include "platform/TransferLimits.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using tarnvale::cli::HeadlessOptions;

// The usage, on standard output when asked for, else on standard error after the
// problem.
int Usage(const char* error = nullptr) {
    std::FILE* out = error ? stderr : stdout;
    if (error)
        std::fprintf(stderr, "tarnvale-launcher: %s\n", error);
    std::fprintf(out,
                 "usage: tarnvale-launcher [options] [/t | /r | /l a.b.c]\n"
                 "  --host HOST          connect server (default: built in)\n"
                 "  --port PORT          connect server port (default 44405)\n"
                 "  --game-dir DIR       the game folder (default: the current directory)\n"
                 "  --partition N        start partition N (1 to 10, as listed) without asking\n"
                 "  --game-client NAME   the game client's file name in the game folder\n"
                 "  --no-start           stop when ready to play (with --partition: once\n"
                 "                       that partition is known to be open)\n"
                 "  --codepage CP        encoding of message.wtf texts (default CP936)\n"
                 "  --connect-timeout S  give up when the connect server has not answered\n"
                 "                       within S seconds (60)\n"
                 "  --stall-timeout S    give up a transfer that stalls for S seconds (60)\n"
                 "  --help               show this help\n"
                 "  /t test mode, /r normal mode, /l a.b.c assume version a.b.c is installed\n");
    return tarnvale::cli::kExitUsage;
}

bool ReadNumber(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (!*text || *end || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    HeadlessOptions options;
    std::string gameDir;
    std::string switches; // the launcher's own command line: "/t", "/r", "/l a.b.c"
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needs = [&](const char* what) {
            if (!value)
                std::exit(Usage((arg + " needs " + what).c_str()));
            ++i;
            return value;
        };
        int number = 0;
        if (arg == "--host") {
            options.host = needs("a host");
        } else if (arg == "--port") {
            if (!ReadNumber(needs("a port"), 1, 65535, options.port))
                return Usage("--port takes 1 to 65535");
        } else if (arg == "--game-dir") {
            gameDir = needs("a folder");
        } else if (arg == "--partition") {
            if (!ReadNumber(needs("a number"), 1, tarnvale::kPartitionCount, number))
                return Usage("--partition takes 1 to 10, the numbers the partitions are listed by");
            options.partition = number - 1;
        } else if (arg == "--game-client") {
            options.gameClient = needs("a file name");
        } else if (arg == "--no-start") {
            options.noStart = true;
        } else if (arg == "--codepage") {
            options.codePage = needs("a code page");
        } else if (arg == "--connect-timeout") {
            if (!ReadNumber(needs("seconds"), 1, 86400, options.connectTimeoutSeconds))
                return Usage("--connect-timeout takes 1 to 86400 seconds");
        } else if (arg == "--stall-timeout") {
            if (!ReadNumber(needs("seconds"), 1, 86400, number))
                return Usage("--stall-timeout takes 1 to 86400 seconds");
            tarnvale::platform::TransferLimits limits;
            limits.stallSeconds = number;
            tarnvale::platform::SetTransferLimits(limits);
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (arg.size() >= 2 && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            switches += (switches.empty() ? "" : " ") + arg;
        }
    }
    if (!gameDir.empty() && !tarnvale::platform::ChangeDirectory(gameDir)) {
        std::fprintf(stderr, "tarnvale-launcher: cannot enter the game folder %s\n",
                     gameDir.c_str());
        return tarnvale::cli::kExitFailed;
    }

    static tarnvale::LauncherState state; // the one process-wide record
    // Boxes can come from the very start (a missing message.wtf), before the run.
    static const tarnvale::cli::TextConverter boxText(options.codePage);
    tarnvale::cli::InstallMessageBoxPrinter(boxText);
    tarnvale::cli::HeadlessFrontEnd frontEnd(options);
    tarnvale::CUpdateApp app(state, frontEnd);
    app.InitInstance(switches.c_str());
    return frontEnd.ExitCode();
}
