// tarnvale-connect-server: the connect server an operator runs for launchers.
// It greets every launcher, sends the configured partition list and answers the
// version report as its configuration file says; SIGHUP reloads that file and
// SIGUSR1 logs the counters.
#include "net/ConnectServerProtocol.h"
#include "tools/ToolSupport.h"
#include "tools/connectserver/ConfigReader.h"
#include "tools/connectserver/ConfigValues.h"
#include "tools/connectserver/Process.h"
#include "tools/connectserver/PublishedVersion.h"
#include "tools/connectserver/Server.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

using namespace tarnvale;
namespace cs = tarnvale::connectserver;

constexpr char kUsage[] =
    "usage: tarnvale-connect-server [--port N] [--bind ADDRESS] [--check] CONFIG\n"
    "  --port N        listen on port N (0: a free port); overrides the file\n"
    "  --bind ADDRESS  listen on this IPv4 address only; overrides the file\n"
    "  --check         read the configuration, report, and exit\n"
    "  --help          show this help\n"
    "The port listened on is printed on standard output; the log goes to\n"
    "standard error. SIGHUP reads CONFIG again (a file that does not read is\n"
    "refused and the one in force stays); SIGUSR1 logs the counters.\n";

// Descriptors the process needs besides its connections: standard streams, the
// listening socket, the readiness queue, and a margin.
constexpr std::size_t kSpareDescriptors = 32;

struct Options {
    const char* configPath = nullptr;
    const char* portText = nullptr;
    const char* bindAddress = nullptr;
    bool checkOnly = false;
};

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

// 0 when the arguments are good, else the exit status.
int ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--port" || arg == "--bind") && i + 1 >= argc)
            return Usage(arg + " needs a value");
        if (arg == "--port")
            options.portText = argv[++i];
        else if (arg == "--bind")
            options.bindAddress = argv[++i];
        else if (arg == "--check")
            options.checkOnly = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return Usage("unknown option " + tools::Printable(arg));
        else if (options.configPath != nullptr)
            return Usage("one configuration file only, not also " + tools::Printable(arg));
        else
            options.configPath = argv[i];
    }
    return options.configPath == nullptr ? Usage("which configuration file?") : 0;
}

// Reads the file and applies the command line over it. The error is printable.
bool LoadConfig(const Options& options, cs::Config& config, std::string& error) {
    std::string text, why;
    const std::string path = options.configPath;
    if (!tools::ReadToolFile(path, text, why)) {
        error = "cannot read " + path + ": " + why;
        return false;
    }
    if (!cs::ParseConfig(text, config, why)) {
        // The file may be anything; its bytes are never echoed raw.
        error = path + ": " + tools::Printable(why);
        return false;
    }
    if (options.portText != nullptr && !ParsePortArgument(options.portText, config.port)) {
        error = "--port needs a number from 0 to 65535, not " + tools::Printable(options.portText);
        return false;
    }
    if (options.bindAddress != nullptr) {
        if (!cs::values::IsDottedIpv4(options.bindAddress)) {
            error =
                "--bind needs a dotted IPv4 address, not " + tools::Printable(options.bindAddress);
            return false;
        }
        config.bindAddress = options.bindAddress;
    }
    return true;
}

// With published_version_file: answers come from the newest version published
// when it is newer than current_version. The line says which is in force, and
// why; false when the file cannot be read (or is not a version file).
bool FollowPublished(cs::Config& config, const cs::Config& file, cs::PublishedVersion& published,
                     std::string& line) {
    if (file.publishedVersionFile.empty())
        return true;
    std::string error;
    published.Refresh(error);
    if (!error.empty()) {
        // At a start, a reload or a check the operator hears of it at once;
        // while serving, the version read last stays in force.
        line = "published version file: " + tools::Printable(error);
        return false;
    }
    const ClientVersion newest = published.Newest();
    config.currentVersion =
        newest.Packed() > file.currentVersion.Packed() ? newest : file.currentVersion;
    line = "published version " + FormatLogForm(newest) + " in " + file.publishedVersionFile;
    if (newest.Packed() > file.currentVersion.Packed())
        line += "; current_version " + FormatLogForm(file.currentVersion) +
                " is behind it: launchers below " + FormatLogForm(newest) + " are sent to update";
    return true;
}

int Check(const Options& options, cs::Config config) {
    std::printf("%s: configuration is valid (answer %s)\n", options.configPath,
                cs::AnswerName(config.answer));
    cs::PublishedVersion published(config.publishedVersionFile);
    std::string line;
    if (!FollowPublished(config, cs::Config(config), published, line)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s\n", line.c_str());
        return 1;
    }
    if (!line.empty())
        std::printf("%s\n", line.c_str());
    // Launchers report the road they would take; an auto answer sends them to FTP
    // only when [update] names an FTP account.
    const bool auto_ = config.answer == cs::Answer::Auto;
    if (config.answer == cs::Answer::Http || auto_)
        std::printf("HTTP updates: %s\n",
                    cs::DescribeUpdateTarget(config, proto::kHttpUpdateInfo).c_str());
    if (config.answer == cs::Answer::Ftp || (auto_ && config.update.accountName[0] != '\0'))
        std::printf("FTP updates: %s\n",
                    cs::DescribeUpdateTarget(config, proto::kFtpUpdateInfo).c_str());
    return 0;
}

// Keeps the connection table within the descriptors the process may open.
void FitFileLimit(cs::Config& config, std::size_t fileLimit) {
    std::size_t& most = config.limits.maxConnections;
    if (fileLimit == 0 || most + kSpareDescriptors <= fileLimit)
        return;
    const std::size_t fits = fileLimit > kSpareDescriptors ? fileLimit - kSpareDescriptors : 1;
    Log("max_connections " + std::to_string(most) +
        " is more than the open-file limit allows: at most " + std::to_string(fits) +
        " launchers at once");
    most = fits;
}

std::string Describe(const cs::Config& config) {
    return "answer " + std::string(cs::AnswerName(config.answer)) + ", at most " +
           std::to_string(config.limits.maxConnections) + " launchers, " +
           std::to_string(config.limits.perAddress) + " per address, PROXY header " +
           (config.limits.proxyProtocol ? "expected" : "not expected");
}

// The configuration as the file says it, and the published version it follows.
struct Following {
    cs::Config file;
    cs::PublishedVersion published;
    std::string said; // the last line logged about it
};

// Looks at the published version file again (at most once a second); a new
// version there comes into force at once.
void WatchPublished(cs::Server& server, Following& following) {
    static std::time_t last = 0;
    const std::time_t now = std::time(nullptr);
    if (following.file.publishedVersionFile.empty() || now == last)
        return;
    last = now;
    const ClientVersion before = server.CurrentConfig().currentVersion;
    cs::Config config = server.CurrentConfig();
    std::string line;
    FollowPublished(config, following.file, following.published, line);
    if (line != following.said)
        Log(line);
    following.said = line;
    if (!(config.currentVersion == before))
        server.Reconfigure(config);
}

void Reload(cs::Server& server, const Options& options, std::size_t fileLimit,
            Following& following) {
    cs::Config config;
    std::string error;
    if (!LoadConfig(options, config, error)) {
        Log("reload refused, the configuration in force stays: " + error);
        return;
    }
    cs::PublishedVersion published(config.publishedVersionFile);
    const cs::Config file = config;
    std::string line;
    if (!FollowPublished(config, file, published, line)) {
        Log("reload refused, the configuration in force stays: " + line);
        return;
    }
    if (!line.empty())
        Log(line);
    following = {file, published, line};
    FitFileLimit(config, fileLimit);
    const cs::Config& old = server.CurrentConfig();
    if (config.port != old.port || config.bindAddress != old.bindAddress)
        Log("reload: a new port or bind address takes effect at the next start");
    Log("reloaded " + std::string(options.configPath) + ": " + Describe(config));
    server.Reconfigure(config);
}

int Serve(const Options& options, cs::Config config) {
    Following following{config, cs::PublishedVersion(config.publishedVersionFile), ""};
    std::string line;
    if (!FollowPublished(config, following.file, following.published, line)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s\n", line.c_str());
        return 1;
    }
    // Before the port is printed: whoever reads it may signal at once.
    cs::process::WatchSignals();
    std::string note;
    const std::size_t fileLimit = cs::process::RaiseOpenFileLimit(note);
    FitFileLimit(config, fileLimit);
    cs::Server server(config, Log);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    Log("listening on port " + std::to_string(server.Port()) + " of " +
        (config.bindAddress.empty() ? std::string("every address") : config.bindAddress) + ", " +
        Describe(config) + "; " + note + "; readiness by " + server.ReadinessName());
    if (!line.empty())
        Log(line);
    following.said = line;

    while (!cs::process::TakeStop()) {
        server.RunOnce(200);
        if (cs::process::TakeReload())
            Reload(server, options, fileLimit, following);
        WatchPublished(server, following);
        if (cs::process::TakeStatusRequest())
            server.RequestStatus();
    }
    server.RequestStatus();
    server.RunOnce(0);
    Log("stopped");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (tools::WantsHelp(argc, argv))
        return tools::PrintUsage(kUsage, true);
    Options options;
    if (const int status = ParseArguments(argc, argv, options); status != 0)
        return status;
    cs::Config config;
    std::string error;
    if (!LoadConfig(options, config, error)) {
        std::fprintf(stderr, "tarnvale-connect-server: %s\n", error.c_str());
        return 1;
    }
    return options.checkOnly ? Check(options, std::move(config))
                             : Serve(options, std::move(config));
}
