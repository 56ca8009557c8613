// tarnvale-patch: builds the update server's tree from folders of new game files.
//
//   tarnvale-patch init ROOT [--version-file NAME]
//   tarnvale-patch add ROOT VERSION SOURCE [options]
//   tarnvale-patch keygen KEYFILE
//   tarnvale-patch sign ROOT --sign KEYFILE [--version-file NAME]
//   tarnvale-patch verify ROOT --key PUBLIC [--key PUBLIC] [--version-file NAME]
//   tarnvale-patch check ROOT --road http|ftp [--version-file NAME]
//
// init makes ROOT an update server root; add publishes version VERSION (its
// directory, "list.inf" and its files or "up_list.zip") under ROOT and appends it
// to ROOT's version file. keygen, sign and verify serve signed update servers;
// check walks a whole root as the launchers of one road do.
#include "tools/PatchBuilder.h"
#include "tools/RoadCheck.h"
#include "tools/Signing.h"
#include "tools/ToolSupport.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace tarnvale;

constexpr char kUsage[] =
    "usage: tarnvale-patch init ROOT [--version-file NAME]\n"
    "       tarnvale-patch add ROOT VERSION SOURCE [options]\n"
    "       tarnvale-patch keygen KEYFILE\n"
    "       tarnvale-patch sign ROOT --sign KEYFILE [--version-file NAME]\n"
    "       tarnvale-patch verify ROOT --key PUBLIC [--key PUBLIC] [--version-file NAME]\n"
    "       tarnvale-patch check ROOT --road http|ftp [--version-file NAME]\n"
    "init makes ROOT (created if needed) an update server root with an empty version\n"
    "file; add publishes VERSION (three numbers 0 to 255, e.g. 1.02.07) from the\n"
    "folder SOURCE, laid out as in the game folder, into ROOT.\n"
    "keygen writes a new secret key to KEYFILE (readable by its owner only; keep it\n"
    "off the update server) and its public key to KEYFILE.pub. sign signs every\n"
    "published version of ROOT and its version file anew with KEYFILE; verify checks\n"
    "ROOT as launchers built with the public key (64 hex digits or a .pub file) do.\n"
    "check walks every published version of ROOT as launchers on one road do and\n"
    "names whatever would stop them (run it before pointing players at ROOT).\n"
    "  --packed            one archive, up_list.zip (default; the only form HTTP serves)\n"
    "  --files             file by file (FTP only)\n"
    "  --compressed        with --files: store each file packed as NAME.QXC\n"
    "  --mirror            with --files: mirror the folder tree on the server\n"
    "  --remove PATH       with --packed: delete the file PATH from the game folder\n"
    "  --remove-dir PATH   with --packed: remove the folder PATH where it is empty\n"
    "  --test-server       mark the version for the test server\n"
    "  --version-file NAME the version file in ROOT (default version.wvd)\n"
    "  --codepage CP       the players' code page for names (default 936)\n"
    "  --sign KEYFILE      sign the version and the version file with the secret key\n"
    "  --road http|ftp     check: the road players' launchers take\n"
    "  --help              show this help\n";

int Usage(const std::string& problem = std::string()) {
    return tools::PrintUsage(kUsage, false, "tarnvale-patch", problem);
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "tarnvale-patch: %s\n", error.c_str());
    return 1;
}

int Keygen(const std::string& path) {
    trust::PublicKey key{};
    std::string error;
    if (!tools::WriteKeyPair(path, key, error))
        return Fail(error);
    std::printf("secret key written to %s (readable by you only: keep it off the update server)\n"
                "public key written to %s.pub:\n%s\n"
                "build launchers with -DTARNVALE_UPDATE_KEYS=%s\n",
                path.c_str(), path.c_str(), trust::ToHex(key).c_str(), trust::ToHex(key).c_str());
    return 0;
}

int Sign(const tools::PatchVersion& version) {
    if (!version.signingKey)
        return Usage("sign needs --sign KEYFILE");
    std::size_t versions = 0;
    std::string error;
    if (!tools::SignServer(version.root, version.versionFile, *version.signingKey, versions, error))
        return Fail(error);
    std::printf("signed %s and its %s\n", version.root.c_str(),
                tools::Counted(versions, "version").c_str());
    return 0;
}

int Verify(const tools::PatchVersion& version, const std::vector<trust::PublicKey>& keys) {
    if (keys.empty())
        return Usage("verify needs --key PUBLIC (64 hex digits or a .pub file)");
    const tools::ServerCheck check = tools::VerifyServer(version.root, version.versionFile, keys);
    for (const std::string& problem : check.problems)
        std::fprintf(stderr, "tarnvale-patch: verify: %s\n", tools::Printable(problem).c_str());
    if (!check.problems.empty()) {
        std::fprintf(stderr, "tarnvale-patch: %s fails the check (%s)\n", version.root.c_str(),
                     tools::Counted(check.problems.size(), "problem").c_str());
        return 1;
    }
    std::printf("%s: version file, %s and %s verified\n", version.root.c_str(),
                tools::Counted(check.versions, "version").c_str(),
                tools::Counted(check.files, "file").c_str());
    return 0;
}

int CheckRoad(const tools::PatchVersion& version, const std::string& road) {
    if (road != "http" && road != "ftp")
        return Usage("check needs --road http or --road ftp (the road players' launchers take)");
    const tools::RoadCheck check = tools::CheckRoad(
        version.root, version.versionFile, road == "http" ? tools::Road::Http : tools::Road::Ftp);
    const char* const shown = road == "http" ? "HTTP" : "FTP";
    for (const std::string& problem : check.problems)
        std::fprintf(stderr, "tarnvale-patch: check: %s\n", tools::Printable(problem).c_str());
    if (!check.problems.empty()) {
        std::fprintf(stderr, "tarnvale-patch: %s fails the check for %s (%s)\n",
                     version.root.c_str(), shown,
                     tools::Counted(check.problems.size(), "problem").c_str());
        return 1;
    }
    std::printf("%s: %s, all installable over %s\n", version.root.c_str(),
                tools::Counted(check.versions, "version").c_str(), shown);
    return 0;
}

// What a successful add tells the operator: what it wrote, and what is left to do
// before players get the version.
void ReportAdded(const tools::PatchVersion& version, const tools::PublishReport& report) {
    std::printf("added version %s to %s (%s%s)\n", version.name.c_str(), version.root.c_str(),
                tools::Counted(report.files, "file").c_str(),
                version.signingKey ? ", signed with the key given" : "");
    if (report.carriesLauncher)
        std::printf("it carries a new launcher: players' launchers replace themselves with it\n");
    if (!version.packed)
        std::fprintf(stderr,
                     "tarnvale-patch: warning: %s is file by file, which only FTP launchers "
                     "install: a launcher sent here over HTTP (answer = http, or auto) fails on "
                     "it from now on; serve this root over FTP only (answer = ftp)\n",
                     version.name.c_str());
    std::printf("next: players get %s once the connect server sends them to this update server: "
                "with answer = auto, its current_version must be %s (raise it and send the "
                "connect server SIGHUP), unless its published_version_file names this root's "
                "version file, which it follows by itself\n",
                version.name.c_str(), version.name.c_str());
}

// What the options after a command's positional arguments set.
struct Options {
    tools::PatchVersion version;
    std::vector<trust::PublicKey> keys; // verify's --key
    std::string road;                   // check's --road
};

// Reads argv[first...] into options; returns the exit status of a refused option,
// or -1 when every option was taken.
int ReadOptions(const std::string& command, int first, int argc, char** argv, Options& options) {
    tools::PatchVersion& version = options.version;
    for (int i = first; i < argc; ++i) {
        const std::string option = argv[i];
        const bool takesValue = option == "--remove" || option == "--remove-dir" ||
                                option == "--version-file" || option == "--codepage" ||
                                option == "--sign" || option == "--key" || option == "--road";
        if (takesValue && i + 1 >= argc)
            return Usage(option + " needs a value");
        const char* value = takesValue ? argv[++i] : nullptr;
        std::string error;
        if (option == "--version-file") {
            version.versionFile = value;
        } else if (option == "--road" && command == "check") {
            options.road = value;
        } else if (option == "--sign" && (command == "add" || command == "sign")) {
            trust::SecretKey key{};
            if (!tools::ReadSecretKey(value, key, error))
                return Fail(error);
            version.signingKey = key;
        } else if (option == "--key" && command == "verify") {
            trust::PublicKey key{};
            if (!tools::ReadPublicKey(value, key, error))
                return Fail(error);
            options.keys.push_back(key);
        } else if (command != "add") {
            return Usage("unknown option for " + command + ": " + option);
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
    return -1;
}

int Init(const tools::PatchVersion& version) {
    bool created = false;
    std::string error;
    if (!tools::InitServerRoot(version.root, version.versionFile, created, error))
        return Fail(error);
    std::printf("%s %s as an update server root\n",
                created ? "set up" : "already set up:", version.root.c_str());
    return 0;
}

int Add(const tools::PatchVersion& version) {
    tools::PublishReport report;
    std::string error;
    if (!tools::AddVersion(version, error, &report))
        return Fail(error);
    ReportAdded(version, report);
    return 0;
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
    const int positionals =
        command == "init" || command == "sign" || command == "verify" || command == "check" ? 1
        : command == "add"                                                                  ? 3
        : command == "keygen"                                                               ? 1
                                                                                            : -1;
    if (positionals < 0)
        return Usage("unknown command " + command + " (init, add, keygen, sign, verify or check)");
    if (argc < 2 + positionals)
        return Usage(command + " needs " +
                     (command == "add"      ? "ROOT VERSION SOURCE"
                      : command == "keygen" ? "KEYFILE"
                                            : "ROOT"));
    if (command == "keygen") {
        if (argc > 3)
            return Usage("keygen takes only KEYFILE");
        return Keygen(argv[2]);
    }

    Options options;
    options.version.root = argv[2];
    if (command == "add") {
        options.version.name = argv[3];
        options.version.source = argv[4];
    }
    if (const int refused = ReadOptions(command, 2 + positionals, argc, argv, options);
        refused >= 0)
        return refused;
    if (command == "sign")
        return Sign(options.version);
    if (command == "verify")
        return Verify(options.version, options.keys);
    if (command == "check")
        return CheckRoad(options.version, options.road);
    if (command == "init")
        return Init(options.version);
    return Add(options.version);
}
