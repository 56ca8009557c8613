// The HTTP road: every version is packed; its list and archive come over plain
// HTTP on a worker thread of their own.
#include "update/UpdateEngine.h"

#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "platform/MillisecondClock.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/Installation.h"
#include "update/PatchList.h"
#include "update/UpdateServer.h"
#include "update/VersionConfig.h"

namespace tarnvale {

int UpdateEngine::StartHttpUpdate() {
    // One road at a time: a second request while the worker runs changes nothing.
    if (IsHttpWorkerRunning())
        return 1;
    JoinHttpWorker();
    platform::RemoveFile(m_update.server.versionFileName);
    // A list left by a launcher stopped at the end of its road would stay for
    // good if nothing is due this time.
    platform::RemoveFile(updateserver::kPatchListName);
    ShowStatus(msgid::kFetchingVersionFile);
    m_window.fileBar.SetRange(100);
    if (m_hooks.hideConnectButton)
        m_hooks.hideConnectButton();
    m_outcome = RoadOutcome::Running;
    m_httpWorker = std::thread([this] { HttpUpdateWorker(); });
    return 1;
}

StepResult UpdateEngine::DownloadHttp(const std::string& url, const std::string& localPath,
                                      int message) {
    HttpProgressReceiver progress(m_window);
    platform::DownloadError error;
    if (platform::DownloadUrlToFile(url, localPath, &progress, &error))
        return {};
    return Fail(message, "HTTP " + url + ": " + error.text);
}

void UpdateEngine::HttpUpdateWorker() {
    const StepResult result = RunHttpRoad();
    if (!result) {
        // The failing step's message stays; the window keeps its updating state.
        m_outcome = RoadOutcome::Failed;
        FailRoad(result);
    }
}

StepResult UpdateEngine::RunHttpRoad() {
    const char* host = m_update.server.serverAddress;
    const char* versionFile = m_update.server.versionFileName;

    if (StepResult fetched =
            DownloadHttp(updateserver::VersionFileUrl(host, versionFile, platform::TimeGetTime()),
                         versionFile, msgid::kTransferFailed);
        !fetched)
        return fetched;
    if (StepResult trusted = CheckVersionFileHttp(host, versionFile); !trusted) {
        platform::RemoveFile(versionFile);
        return trusted;
    }
    if (StepResult parsed = ParseVersionFile(m_update, m_launcher, m_window); !parsed)
        return parsed;

    m_update.selfUpdatePending = false;
    const std::vector<VersionEntry> table = m_update.versionTable;
    const std::size_t first = HttpFirstVersionToInstall(table, m_update.localVersion);
    const int due = static_cast<int>(table.size() - first);
    m_window.totalBar.SetRange(due);

    if (due == 0) {
        m_window.totalBar.SetRange(1);
        m_window.totalBar.SetPos(1);
        m_window.fileBar.SetRange(1);
        m_window.fileBar.SetPos(1);
        m_window.RefreshProgress();
        FinishRoad(versionFile);
        return {};
    }

    int installed = 0;
    for (std::size_t i = first; i < table.size(); ++i) {
        ++installed;
        m_update.currentVersion = table[i].Packed();
        if (StepResult done = InstallVersionHttp(host, table[i].name); !done) {
            platform::RemoveFile(updateserver::kPatchListName);
            return done;
        }
        platform::RemoveFile(updateserver::kPatchListName);
        m_update.localVersion = table[i].version;
        if (m_update.selfUpdatePending) {
            m_outcome = RoadOutcome::HandedOver;
            HandOver();
            return {};
        }
        m_window.totalBar.SetPos(installed);
        m_window.RefreshProgress();
    }

    ShowStatus(msgid::kTransferDone);
    FinishRoad(versionFile);
    return {};
}

StepResult UpdateEngine::CheckVersionFileHttp(const char* host, const std::string& versionFile) {
    if (!m_trust.Enabled())
        return {};
    const std::string signature = UpdateTrust::SignatureName(versionFile);
    const std::string url =
        updateserver::VersionFileUrl(host, signature.c_str(), platform::TimeGetTime());
    HttpProgressReceiver progress(m_window);
    platform::DownloadError error;
    if (!platform::DownloadUrlToFile(url, signature, &progress, &error)) {
        platform::RemoveFile(signature);
        return Refuse(
            UpdateTrust::Missing("signature", signature, "HTTP " + url + ": " + error.text));
    }
    return Refuse(m_trust.CheckVersionFile(versionFile, signature));
}

StepResult UpdateEngine::LoadManifestHttp(const char* host, const std::string& version) {
    const std::string manifest = trust::kManifestName;
    const std::string signature = UpdateTrust::SignatureName(manifest);
    for (const std::string& name : {manifest, signature}) {
        const std::string url = updateserver::VersionItemUrl(host, version.c_str(), name.c_str(),
                                                             platform::TimeGetTime());
        HttpProgressReceiver progress(m_window);
        platform::DownloadError error;
        if (!platform::DownloadUrlToFile(url, name, &progress, &error)) {
            platform::RemoveFile(manifest);
            platform::RemoveFile(signature);
            return Refuse(UpdateTrust::Missing(name == manifest ? "manifest" : "signature",
                                               version + "/" + name,
                                               "HTTP " + url + ": " + error.text));
        }
    }
    return Refuse(m_trust.LoadManifest(version, manifest, signature));
}

StepResult UpdateEngine::InstallVersionHttp(const char* address, const char* version) {
    // A signed server proves the version before anything of it is fetched.
    m_trust.Forget();
    if (m_trust.Enabled()) {
        if (StepResult loaded = LoadManifestHttp(address, version); !loaded)
            return loaded;
    }
    if (StepResult listed = DownloadHttp(updateserver::VersionItemUrl(address, version,
                                                                      updateserver::kPatchListName,
                                                                      platform::TimeGetTime()),
                                         updateserver::kPatchListName, msgid::kTransferFailed);
        !listed)
        return listed;
    if (StepResult checked =
            m_trust.CheckFile(updateserver::kPatchListName, updateserver::kPatchListName);
        !checked)
        return Refuse(checked);
    ShowStatus(msgid::kReadingList);
    PatchListReader reader;
    if (!reader.Open(updateserver::kPatchListName))
        return Fail(msgid::kCannotOpenPatchList, std::string("cannot open ") +
                                                     updateserver::kPatchListName + ": " +
                                                     platform::LastFileErrorText());
    const std::string folder = GameFolder() + "\\";
    // Nothing of a failed version stays in "Temp": a retry on a nearly full disk
    // would otherwise fail sooner.
    auto fetchArchive = [&]() -> StepResult {
        ShowStatus(msgid::kFetchingFiles);
        platform::MakeDirectory(kStagingFolder);
        StepResult fetched =
            DownloadHttp(updateserver::VersionItemUrl(address, version, updateserver::kArchiveName,
                                                      platform::TimeGetTime()),
                         kStagedArchivePath, msgid::kUpdateFailed);
        if (fetched)
            fetched = Refuse(m_trust.CheckFile(updateserver::kArchiveName, kStagedArchivePath));
        if (!fetched)
            DiscardArchiveLeftovers(kStagedArchivePath, folder.c_str());
        return fetched;
    };
    // With keys the archive is fetched and checked before the list's removals, so
    // that a refused archive leaves the game folder as it was.
    const bool archiveFirst = m_trust.Enabled();
    if (archiveFirst) {
        if (StepResult fetched = fetchArchive(); !fetched)
            return fetched;
    }
    // Removals, and the self-update mark. The list's flags do not matter on this
    // road: every version is installed from its archive.
    if (StepResult removed =
            ApplyDeleteEntries(reader, GameFolder(), m_update, m_launcher, m_window);
        !removed) {
        if (archiveFirst)
            DiscardArchiveLeftovers(kStagedArchivePath, folder.c_str());
        ShowStatus(msgid::kUpdateFailed);
        return removed;
    }
    if (!archiveFirst) {
        if (StepResult fetched = fetchArchive(); !fetched)
            return fetched;
    }
    ShowStatus(msgid::kUnpackingArchive);
    if (StepResult extracted =
            ExtractUpdateArchive(kStagedArchivePath, folder.c_str(), m_hooks.requestWindowClose);
        !extracted) {
        // A damaged archive shows no box of its own; the status line says why the
        // road stopped.
        DiscardArchiveLeftovers(kStagedArchivePath, folder.c_str());
        ShowStatus(msgid::kUpdateFailed);
        return extracted;
    }
    return {};
}

} // namespace tarnvale
