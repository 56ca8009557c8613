// tarnvale-connect-server: the connect server an operator runs to test launchers.
// It greets every launcher, sends the configured partition list and answers the
// version report as its configuration file says.
#include "net/ConnectServer.h"
#include "platform/Files.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

using namespace tarnvale;

std::atomic<connectserver::Server*> g_server{nullptr};

extern "C" void OnSignal(int) {
    if (connectserver::Server* server = g_server.load())
        server->Stop();
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tarnvale-connect-server [--port N] [--bind ADDRESS] [--check] CONFIG\n"
                 "  --port N        listen on port N (0: a free port); overrides the file\n"
                 "  --bind ADDRESS  listen on this IPv4 address only\n"
                 "  --check         read the configuration, report, and exit\n"
                 "The port listened on is printed on standard output; the log goes to\n"
                 "standard error, one line per connection and answer.\n");
    return 2;
}

void Log(const std::string& line) {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
    std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
    std::fflush(stderr);
}

bool ParsePortArgument(const char* text, std::uint16_t& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* configPath = nullptr;
    const char* portText = nullptr;
    const char* bindAddress = nullptr;
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            portText = argv[++i];
        else if (std::strcmp(argv[i], "--bind") == 0 && i + 1 < argc)
            bindAddress = argv[++i];
        else if (std::strcmp(argv[i], "--check") == 0)
            checkOnly = true;
        else if (argv[i][0] == '-' || configPath != nullptr)
            return Usage();
        else
            configPath = argv[i];
    }
    if (configPath == nullptr)
        return Usage();

    std::string text;
    if (!platform::ReadWholeFile(configPath, text)) {
        std::fprintf(stderr, "tarnvale-connect-server: cannot read %s\n", configPath);
        return 1;
    }
    connectserver::Config config;
    std::string error;
    if (!connectserver::ParseConfig(text, config, error)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s: %s\n", configPath, error.c_str());
        return 1;
    }
    if (portText != nullptr && !ParsePortArgument(portText, config.port)) {
        std::fprintf(stderr, "tarnvale-connect-server: --port needs a number from 0 to 65535\n");
        return 1;
    }
    if (bindAddress != nullptr)
        config.bindAddress = bindAddress;
    if (checkOnly) {
        std::printf("%s: configuration is valid (answer %s)\n", configPath,
                    connectserver::AnswerName(config.answer));
        return 0;
    }

    connectserver::Server server(config, Log);
    if (!server.Listen(error)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    Log("listening on port " + std::to_string(server.Port()) + ", answer " +
        connectserver::AnswerName(config.answer));

    g_server = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    server.Run();
    g_server = nullptr;
    Log("stopped");
    return 0;
}
