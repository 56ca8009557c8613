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
#include "update/PartialDownload.h"
#include "update/PatchList.h"
#include "update/RoadFiles.h"
#include "update/UpdateServer.h"
#include "update/VersionConfig.h"

namespace tarnvale {

int UpdateEngine::StartHttpUpdate() {
    // One road at a time: a second request while the worker runs changes nothing.
    if (IsHttpWorkerRunning())
        return 1;
    JoinHttpWorker();
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

namespace {

// Whether a download went past `ceiling` (0: none): seen while it came, or in the
// file, since the last piece of a body may arrive after the last progress report.
bool PassedCeiling(const HttpProgressReceiver& progress, bool fetched, const std::string& path,
                   std::uint64_t ceiling) {
    std::uint64_t size = 0;
    return progress.Exceeded() ||
           (fetched && ceiling != 0 && platform::FileSize(path, size) && size > ceiling);
}

StepResult TooLarge(int message, const std::string& url, std::uint64_t ceiling) {
    return StepResult::Failure(message, "HTTP " + url + ": larger than the " +
                                            std::to_string(ceiling) + " bytes allowed");
}

} // namespace

StepResult UpdateEngine::DownloadHttp(const std::string& url, const std::string& localPath,
                                      int message, std::uint64_t ceiling) {
    HttpProgressReceiver progress(m_window, ceiling);
    platform::DownloadError error;
    const bool fetched = platform::DownloadUrlToFile(url, localPath, &progress, &error);
    if (PassedCeiling(progress, fetched, localPath, ceiling)) {
        platform::RemoveFile(localPath);
        return TooLarge(message, url, ceiling);
    }
    if (fetched)
        return {};
    return StepResult::Failure(message, "HTTP " + url + ": " + error.text);
}

StepResult UpdateEngine::DownloadHttpResuming(const std::string& url, const std::string& localPath,
                                              const std::string& version, int message,
                                              std::uint64_t ceiling) {
    PartialDownload partial(localPath, version, ceiling);
    HttpProgressReceiver progress(m_window, ceiling, &partial);
    platform::DownloadError error;
    const bool fetched =
        platform::DownloadUrlResuming(url, partial.Path(), partial.Copy(), &progress, &error);
    if (PassedCeiling(progress, fetched, partial.Path(), ceiling)) {
        partial.Drop();
        return TooLarge(message, url, ceiling);
    }
    if (!fetched) {
        partial.Failed(error.code);
        return StepResult::Failure(message, "HTTP " + url + ": " + error.text);
    }
    if (!partial.Complete()) {
        const std::string why = platform::LastFileErrorText();
        partial.Drop();
        return StepResult::Failure(message, "cannot put " + platform::NativePath(localPath) +
                                                " in place: " + why);
    }
    return {};
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
    if (StepResult read = FetchVersionTable(
            [&](const std::string& remote, const std::string& localPath, std::uint64_t ceiling) {
                return DownloadHttp(
                    updateserver::VersionFileUrl(host, remote.c_str(), platform::TimeGetTime()),
                    localPath, msgid::kTransferFailed, ceiling);
            });
        !read)
        return read;

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
        FinishRoad();
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
    FinishRoad();
    return {};
}

StepResult UpdateEngine::FetchArchiveHttp(const char* address, const char* version,
                                          const std::string& gameFolder) {
    ShowStatus(msgid::kFetchingFiles);
    platform::MakeDirectory(kStagingFolder);
    // The archive goes on where an earlier try stopped.
    std::uint64_t ceiling = 0;
    StepResult fetched = Refuse(m_trust.ExpectedSize(updateserver::kArchiveName, ceiling));
    if (fetched)
        fetched = Shown(DownloadHttpResuming(
            updateserver::VersionItemUrl(address, version, updateserver::kArchiveName,
                                         platform::TimeGetTime()),
            kStagedArchivePath, version, msgid::kUpdateFailed, ceiling));
    if (fetched)
        fetched = Refuse(m_trust.CheckFile(updateserver::kArchiveName, kStagedArchivePath));
    // A refused archive does not stay in "Temp": a retry on a nearly full disk
    // would otherwise fail sooner. (A broken-off download's partial is kept
    // apart, under its own name, for the next try.)
    if (!fetched)
        DiscardArchiveLeftovers(kStagedArchivePath, gameFolder.c_str());
    return fetched;
}

StepResult UpdateEngine::InstallVersionHttp(const char* address, const char* version) {
    // Every file of the version comes from its folder.
    const FetchCopy fromFolder = [&](const std::string& item, const std::string& localPath,
                                     std::uint64_t ceiling) {
        return DownloadHttp(
            updateserver::VersionItemUrl(address, version, item.c_str(), platform::TimeGetTime()),
            localPath, msgid::kUpdateFailed, ceiling);
    };
    // A signed server proves the version before anything of it is fetched.
    if (StepResult loaded = FetchManifest(version, fromFolder); !loaded)
        return loaded;
    // The list and the archive: with keys held to the manifest's sizes, else to
    // `ceiling`; a failure shows `message`.
    auto fetch = [&](const std::string& item, const std::string& localPath, std::uint64_t ceiling,
                     int message) -> StepResult {
        if (StepResult expected = Refuse(m_trust.ExpectedSize(item, ceiling)); !expected)
            return expected;
        const StepResult fetched = fromFolder(item, localPath, ceiling);
        return Shown(fetched ? fetched : StepResult::Failure(message, fetched.Detail()));
    };
    if (StepResult listed = fetch(updateserver::kPatchListName, updateserver::kPatchListName,
                                  kMaxListBytes, msgid::kTransferFailed);
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
    auto fetchArchive = [&] { return FetchArchiveHttp(address, version, folder); };
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
    if (StepResult extracted = ExtractUpdateArchive(kStagedArchivePath, folder.c_str());
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
