// tarnvale-game: the demo game client. It takes the connection parameters the
// launcher hands over, from the registry and from its command line, prints both
// and tells whether they agree, so operators and tests can check a game start
// without the real client.
#include "launch/ConnectionParameters.h"
#include "launch/GameStart.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace tarnvale;

// Addresses are dotted texts in practice; anything else is shown escaped so a
// damaged value cannot garble the terminal.
std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        }
    }
    return out;
}

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
    platform::SetProcessArguments(argc, argv);

    // The registry first: the launcher's values are good for 26 seconds only.
    ConnectionParameters fromRegistry;
    if (!ReadConnectionParameters(fromRegistry)) {
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
                     Printable(line).c_str());
        return 2;
    }
    const unsigned long port = std::strtoul(portText.c_str(), nullptr, 10);

    char text[512];
    std::snprintf(text, sizeof text, "registry: address %s port %lu\n",
                  Printable(fromRegistry.address).c_str(),
                  static_cast<unsigned long>(fromRegistry.port));
    Record(text);
    std::snprintf(text, sizeof text, "command line: address %s port %lu\n",
                  Printable(address).c_str(), port);
    Record(text);
    if (address != fromRegistry.address || port != fromRegistry.port) {
        std::fprintf(stderr, "tarnvale-game: the registry and the command line disagree\n");
        Record("parameters disagree\n");
        return 3;
    }
    Record("parameters agree\n");
    return 0;
}
