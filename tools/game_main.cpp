// tarnvale-game: the demo game client. It takes the connection parameters the
// launcher hands over, from the registry and from its command line, prints both
// and tells whether they agree, so operators and tests can check a game start
// without the real client.
#include "launch/ConnectionParameters.h"
#include "launch/GameStart.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"
#include "tools/ToolSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace tarnvale;

constexpr char kUsage[] =
    "usage: tarnvale-game connect /y<address> /z<port>\n"
    "The demo game client. The launcher starts it with that command line (both texts\n"
    "scrambled) after writing the same address and port to the registry; it prints\n"
    "what each channel carried and whether they agree. Exit status: 0 they agree,\n"
    "1 no parameters in the registry, 2 not a connect line, 3 they disagree.\n"
    "  --help  show this help\n";

// With TARNVALE_GAME_RECORD set, what the client prints also goes to that file:
// started by the Windows launcher, it has no console for anyone to read.
void Record(const char* line) {
    std::fputs(line, stdout);
    if (const char* path = std::getenv("TARNVALE_GAME_RECORD"); path && *path) {
        if (std::FILE* file = std::fopen(path, "a")) {
            std::fputs(line, file);
            std::fclose(file);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // Only a lone argument can ask for help: the launcher's connect line is
    // scrambled bytes that could spell anything.
    if (argc == 2 && tools::WantsHelp(argc, argv))
        return tools::PrintUsage(kUsage, true);
    if (argc == 2 && argv[1][0] == '-' && argv[1][1] == '-')
        return tools::PrintUsage(kUsage, false, "tarnvale-game",
                                 std::string("unknown option ") + tools::Printable(argv[1]));
    platform::SetProcessArguments(argc, argv);

    // The registry first: the launcher's values are good for 26 seconds only.
    ConnectionParameters fromRegistry;
    if (!ReadConnectionParameters(fromRegistry)) {
        // Recorded too: the launcher's hand-over after installing a new launcher
        // starts the client without fresh values, and its test looks for that.
        Record("no connection parameters\n");
        std::fprintf(stderr,
                     "tarnvale-game: no connection parameters: the launcher's values are "
                     "missing or older than 26 seconds (looked in %s and %s)\n",
                     platform::RegistryLocation(platform::RegistryRoot::LocalMachine).c_str(),
                     platform::RegistryLocation(platform::RegistryRoot::CurrentUser).c_str());
        return 1;
    }

    const std::string line = platform::CommandLineTail();
    std::string address, portText;
    if (!DecodeGameCommandLine(line, BuildParamKey(), address, portText)) {
        std::fprintf(stderr,
                     "tarnvale-game: the command line is not a launcher's connect line "
                     "(\"connect /y<address> /z<port> \"): %s\n",
                     tools::Printable(line).c_str());
        return 2;
    }
    const unsigned long port = std::strtoul(portText.c_str(), nullptr, 10);

    char text[512];
    std::snprintf(text, sizeof text, "registry: address %s port %lu\n",
                  tools::Printable(fromRegistry.address).c_str(),
                  static_cast<unsigned long>(fromRegistry.port));
    Record(text);
    std::snprintf(text, sizeof text, "command line: address %s port %lu\n",
                  tools::Printable(address).c_str(), port);
    Record(text);
    if (address != fromRegistry.address || port != fromRegistry.port) {
        std::fprintf(stderr, "tarnvale-game: the registry and the command line disagree\n");
        Record("parameters disagree\n");
        return 3;
    }
    Record("parameters agree\n");
    return 0;
}
