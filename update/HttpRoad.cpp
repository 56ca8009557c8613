// The HTTP road: every version is packed; its list and archive come over plain
// HTTP on a worker thread of their own.
#include "update/UpdateEngine.h"

#include "app/LauncherState.h"
#include "app/LauncherWindow.h"
#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "platform/MillisecondClock.h"
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
    ShowStatus(msgid::kFetchingVersionFile);
    m_window.fileBar.SetRange(100);
    if (m_hooks.hideConnectButton)
        m_hooks.hideConnectButton();
    m_outcome = RoadOutcome::Running;
    m_httpWorker = std::thread([this] { HttpUpdateWorker(); });
    return 1;
}

bool UpdateEngine::DownloadHttp(const std::string& url, const std::string& localPath) {
    HttpProgressReceiver progress(m_window);
    return platform::DownloadUrlToFile(url, localPath, &progress);
}

void UpdateEngine::HttpUpdateWorker() {
    const char* host = m_update.server.serverAddress;
    const char* versionFile = m_update.server.versionFileName;

    if (!DownloadHttp(updateserver::VersionFileUrl(host, versionFile, platform::TimeGetTime()),
                      versionFile)) {
        ShowStatus(msgid::kTransferFailed);
        m_outcome = RoadOutcome::Failed;
        return;
    }
    if (!ParseVersionFile(m_update, m_launcher, m_window)) {
        m_outcome = RoadOutcome::Failed;
        return;
    }

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
        return;
    }

    int installed = 0;
    for (std::size_t i = first; i < table.size(); ++i) {
        ++installed;
        m_update.currentVersion = table[i].Packed();
        if (!InstallVersionHttp(host, table[i].name)) {
            // The failing step's message stays; the window keeps its updating state.
            platform::RemoveFile(updateserver::kPatchListName);
            m_outcome = RoadOutcome::Failed;
            return;
        }
        platform::RemoveFile(updateserver::kPatchListName);
        m_update.localVersion = table[i].version;
        if (m_update.selfUpdatePending) {
            m_outcome = RoadOutcome::HandedOver;
            HandOver();
            return;
        }
        m_window.totalBar.SetPos(installed);
        m_window.RefreshProgress();
    }

    ShowStatus(msgid::kTransferDone);
    FinishRoad(versionFile);
}

bool UpdateEngine::InstallVersionHttp(const char* address, const char* version) {
    if (!DownloadHttp(updateserver::VersionItemUrl(address, version, updateserver::kPatchListName,
                                                   platform::TimeGetTime()),
                      updateserver::kPatchListName)) {
        ShowStatus(msgid::kTransferFailed);
        return false;
    }
    ShowStatus(msgid::kReadingList);
    PatchListReader reader;
    if (!reader.Open(updateserver::kPatchListName)) {
        ShowStatus(msgid::kCannotOpenPatchList);
        return false;
    }
    // Removals first, and the self-update mark. The list's flags do not matter on
    // this road: every version is installed from its archive.
    if (!ApplyDeleteEntries(reader, GameFolder(), m_update, m_launcher, m_window)) {
        ShowStatus(msgid::kUpdateFailed);
        return false;
    }
    ShowStatus(msgid::kFetchingFiles);
    platform::MakeDirectory(kStagingFolder);
    const std::string folder = GameFolder() + "\\";
    if (!DownloadHttp(updateserver::VersionItemUrl(address, version, updateserver::kArchiveName,
                                                   platform::TimeGetTime()),
                      kStagedArchivePath)) {
        DiscardArchiveLeftovers(kStagedArchivePath, folder.c_str());
        ShowStatus(msgid::kUpdateFailed);
        return false;
    }
    ShowStatus(msgid::kUnpackingArchive);
    if (!ExtractUpdateArchive(kStagedArchivePath, folder.c_str(), m_hooks.requestWindowClose)) {
        // A damaged archive shows no box of its own; the status line says why the
        // road stopped. Nothing of the failed version stays in "Temp".
        DiscardArchiveLeftovers(kStagedArchivePath, folder.c_str());
        ShowStatus(msgid::kUpdateFailed);
        return false;
    }
    return true;
}

} // namespace tarnvale
