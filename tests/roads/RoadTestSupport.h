#pragma once

#include "state/LauncherState.h"
#include "support/LoopbackServers.h"
#include "support/TestSupport.h"
#include "tools/PatchBuilder.h"
#include "update/UpdateEngine.h"
#include "update/UpdateState.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tarnvale::test {

// Files of a version, by their path in the game folder ("/" separated).
using VersionFiles = std::vector<std::pair<std::string, std::string>>;

// A game folder (the current directory) and an update server on loopback whose
// root is emptied before each test. The servers are shared by the tests of one
// program, which run one after another.
class RoadTest : public TempDirTest {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // Publishes a version on the server with the patch builder: packed by
    // default (with a config.ini that names the version when `files` has none);
    // `tweak` chooses the form.
    void Publish(const std::string& name, const VersionFiles& files,
                 const std::function<void(tools::PatchVersion&)>& tweak = {});
    // A path below the server root.
    std::filesystem::path OnServer(const std::string& relative) const;
    // Adds a name to a published version's list, byte for byte (names in the
    // game's code page do not survive the file system's name conversion under
    // Wine, but list contents do).
    void AppendToList(const std::string& version, const std::string& name);

    void SetLocalVersion(const char* version);
    std::string ConfigVersion(const char* key = "Version") const;

    // Runs the FTP road to its end against the Unix-listing server; the connect
    // server names `versionFile`.
    bool RunFtp(UpdateEngine& engine, const char* versionFile = "version.wvd");
    // Runs the HTTP road and waits for its worker.
    RoadOutcome RunHttp(UpdateEngine& engine, const char* versionFile = "version.wvd");
    std::string HttpAddress() const;

    bool Saw(int id) const;
    std::string Text(int id) const { return launcher.Text(id); }
    UpdateEngineHooks Hooks();

    static LoopbackServers* s_servers;
    LauncherState launcher;
    UpdateState update;
    RecordingWindow window;
    int handOvers = 0;
    int closeRequests = 0;
};

} // namespace tarnvale::test
