// Reads arbitrary bytes as the version file, the way both update roads do: the
// file is written into a scratch game folder and ParseVersionFile reads it.
#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/UpdateState.h"
#include "update/VersionConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

class StatusWindow : public tarnvale::LauncherWindow {
  public:
    void SetStatusText(const char* text) override { texts.emplace_back(text); }
    void SetTitleText(const char*) override {}
    void RefreshProgress() override {}
    void FinishUpdate() override {}
    void ResetToConnect() override {}
    void ShowProgressView() override {}
    void ShowPartitionView() override {}
    void ShowConnectButton() override {}
    bool PumpMessage() override { return false; }
    std::vector<std::string> texts;
};

// The scratch folder, removed again when the run ends.
char g_folder[] = "/tmp/tarnvale-version-fuzz-XXXXXX";

void RemoveScratchFolder() {
    tarnvale::platform::RemoveFile(std::string(g_folder) + "/version.wvd");
    tarnvale::platform::RemoveEmptyDirectory(g_folder);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!::mkdtemp(g_folder) || !tarnvale::platform::ChangeDirectory(g_folder))
        std::abort();
    std::atexit(RemoveScratchFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarnvale::LauncherState launcher;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!tarnvale::platform::WriteWholeFile("version.wvd", bytes))
        std::abort();

    tarnvale::UpdateState update;
    std::strcpy(update.server.versionFileName, "version.wvd");
    StatusWindow window;
    const bool ok = tarnvale::ParseVersionFile("version.wvd", update, launcher, window).Succeeded();

    Check(!window.texts.empty() &&
          window.texts[0] == launcher.Text(tarnvale::msgid::kReadingVersionFile));
    if (!ok) {
        Check(window.texts.size() == 2 && update.versionTable.empty());
        return 0;
    }
    Check(window.texts.size() == 1);
    Check(update.versionTable.size() <= static_cast<std::size_t>(tarnvale::kMaxVersions));
    for (const tarnvale::VersionEntry& entry : update.versionTable) {
        const std::size_t length = ::strnlen(entry.name, sizeof entry.name);
        Check(length < sizeof entry.name);
        Check(entry.version ==
              tarnvale::ParseVersionReadForm(std::string_view(entry.name, length)));
    }
    return 0;
}
