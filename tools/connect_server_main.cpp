// tarnvale-connect-server: the connect server an operator runs to test launchers.
// It greets every launcher, sends the configured partition list and answers the
// version report as its configuration file says.
#include "net/ConnectServer.h"
#include "net/ConnectServerProtocol.h"
#include "tools/ToolSupport.h"

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

constexpr char kUsage[] =
    "usage: tarnvale-connect-server [--port N] [--bind ADDRESS] [--check] CONFIG\n"
    "  --port N        listen on port N (0: a free port); overrides the file\n"
    "  --bind ADDRESS  listen on this IPv4 address only; overrides the file\n"
    "  --check         read the configuration, report, and exit\n"
    "  --help          show this help\n"
    "The port listened on is printed on standard output; the log goes to\n"
    "standard error, one line per connection and answer.\n";

int Usage(const std::string& problem = std::string()) {
    return tools::PrintUsage(kUsage, false, "tarnvale-connect-server", problem);
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
    if (tools::WantsHelp(argc, argv))
        return tools::PrintUsage(kUsage, true);
    const char* configPath = nullptr;
    const char* portText = nullptr;
    const char* bindAddress = nullptr;
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--port" || arg == "--bind") && i + 1 >= argc)
            return Usage(arg + " needs a value");
        if (arg == "--port")
            portText = argv[++i];
        else if (arg == "--bind")
            bindAddress = argv[++i];
        else if (arg == "--check")
            checkOnly = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return Usage("unknown option " + tools::Printable(arg));
        else if (configPath != nullptr)
            return Usage("one configuration file only, not also " + tools::Printable(arg));
        else
            configPath = argv[i];
    }
    if (configPath == nullptr)
        return Usage("which configuration file?");

    std::string text, why;
    if (!tools::ReadToolFile(configPath, text, why)) {
        std::fprintf(stderr, "tarnvale-connect-server: cannot read %s: %s\n", configPath,
                     why.c_str());
        return 1;
    }
    connectserver::Config config;
    std::string error;
    if (!connectserver::ParseConfig(text, config, error)) {
        // The file may be anything; its bytes are never echoed raw.
        std::fprintf(stderr, "tarnvale-connect-server: %s: %s\n", configPath,
                     tools::Printable(error).c_str());
        return 1;
    }
    if (portText != nullptr && !ParsePortArgument(portText, config.port)) {
        std::fprintf(stderr,
                     "tarnvale-connect-server: --port needs a number from 0 to 65535, "
                     "not %s\n",
                     tools::Printable(portText).c_str());
        return 1;
    }
    if (bindAddress != nullptr) {
        if (!connectserver::IsDottedIpv4(bindAddress)) {
            std::fprintf(stderr,
                         "tarnvale-connect-server: --bind needs a dotted IPv4 address, not %s\n",
                         tools::Printable(bindAddress).c_str());
            return 1;
        }
        config.bindAddress = bindAddress;
    }
    if (checkOnly) {
        std::printf("%s: configuration is valid (answer %s)\n", configPath,
                    connectserver::AnswerName(config.answer));
        if (config.answer != connectserver::Answer::Ftp &&
            config.answer != connectserver::Answer::UpToDate)
            std::printf(
                "HTTP updates: %s\n",
                connectserver::DescribeUpdateTarget(config, proto::kHttpUpdateInfo).c_str());
        if (config.answer != connectserver::Answer::Http &&
            config.answer != connectserver::Answer::UpToDate)
            std::printf("FTP updates: %s\n",
                        connectserver::DescribeUpdateTarget(config, proto::kFtpUpdateInfo).c_str());
        return 0;
    }

    connectserver::Server server(config, Log);
    if (!server.Listen(error)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    Log("listening on port " + std::to_string(server.Port()) + " of " +
        (config.bindAddress.empty() ? std::string("every address") : config.bindAddress) +
        ", answer " + connectserver::AnswerName(config.answer));

    g_server = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    server.Run();
    g_server = nullptr;
    Log("stopped");
    return 0;
}
