#pragma once

#include "msg/StepResult.h"
#include "platform/FtpClient.h"
#include "platform/HttpDownload.h"
#include "trust/Keys.h"
#include "update/UpdateState.h"
#include "update/UpdateTrust.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tarnvale {

class LauncherWindow;
class PartialDownload;
class StagingJournal;
class TransferSink;
struct FileEntry;
struct LauncherState;

// What the update roads need from the rest of the launcher. Each piece belongs to
// another part of the program and is handed in by whoever runs the window; an
// empty function is skipped.
struct UpdateEngineHooks {
    // The hand-over after a version replaced the launcher itself (the game start's
    // StartAfterSelfUpdate). The road ends right after it.
    std::function<void()> startAfterSelfUpdate;
    // Asks the launcher window to close (WM_CLOSE), after an archive could not be
    // put in place.
    std::function<void()> requestWindowClose;
    // Closes the connection to the connect server once the FTP road has its own.
    std::function<void()> closeConnectServer;
    // Hides and disables the window's Connect button while the HTTP road runs.
    std::function<void()> hideConnectButton;
};

// One slot of the listing of the current remote directory.
struct RemoteFile {
    std::string name; // at most 255 bytes
    std::uint32_t size = 0;
};
inline constexpr std::size_t kMaxRemoteListing = 999;

// How the last road ended.
enum class RoadOutcome {
    None,       // no road has run
    Running,    // the HTTP worker is still at work
    Finished,   // every version installed (or none was due); FinishUpdate has run
    Failed,     // a step failed; its message is in the status line
    HandedOver, // a version replaced the launcher; the game start has taken over
};

// The window's download-progress receiver of the HTTP road: moves the file bar
// with each report and repaints both bars. A download that announces or delivers
// more than `ceiling` bytes (0: no ceiling) is stopped at the next report. A
// resumed download reports from the bytes that were there already, and a new
// copy of a resumable one is recorded in its `partial` before its bytes come.
class HttpProgressReceiver : public platform::DownloadProgress {
  public:
    explicit HttpProgressReceiver(LauncherWindow& window, std::uint64_t ceiling = 0,
                                  PartialDownload* partial = nullptr)
        : m_window(window), m_ceiling(ceiling), m_partial(partial) {}
    void OnDownloadStart() override;
    // With a known total the bar shows done x 100 / total; without one it creeps
    // forward one step per report (the bar stops it at its upper end).
    bool OnDownloadProgress(std::uint64_t done, std::uint64_t total) override;
    void OnDownloadResumed(std::uint64_t from, std::uint64_t total) override;
    void OnNewCopy(const platform::HttpValidator& copy) override;
    // Whether the download was stopped for passing the ceiling.
    bool Exceeded() const { return m_exceeded; }

  private:
    LauncherWindow& m_window;
    std::uint64_t m_ceiling;
    PartialDownload* m_partial;
    bool m_exceeded = false;
};

// The two update roads. The FTP road runs on the calling thread (the window's),
// dispatching one pending window message after each step; the HTTP road runs on a
// worker thread of its own. The engine holds the FTP session, the remote listing
// and the HTTP worker; everything else lives in the records it is handed.
//
// `trustedKeys` are the operator's public keys that updates are checked with
// (UpdateTrust); the launcher passes the keys it was built with. Without keys the
// roads fetch and check nothing beyond the plain update.
class UpdateEngine {
  public:
    UpdateEngine(LauncherState& launcher, UpdateState& update, LauncherWindow& window,
                 UpdateEngineHooks hooks = {},
                 std::vector<trust::PublicKey> trustedKeys = trust::BuiltInUpdateKeys());
    // Waits for the HTTP worker, if one is running.
    ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // The FTP road, for the update-server packets that ask for it: log in, fetch
    // the version file and install every newer version. False when the road
    // failed (the caller then shows message 138); true when it finished or handed
    // over to the game start.
    bool StartFtpUpdate(const char* address, std::uint16_t port, const char* name,
                        const char* password, const char* versionFile);
    // Closes the FTP connection, then the session, each only if open.
    void CloseFtpSession();

    // The HTTP road: store where the server is, then start the worker.
    void StoreHttpServer(const char* address, std::uint16_t port, const char* name,
                         const char* password, const char* versionFile);
    // Always 1. Does not start a second worker while one is still running.
    int StartHttpUpdate();
    // Whether an HTTP worker has been started and has not yet ended.
    bool IsHttpWorkerRunning() const { return m_outcome.load() == RoadOutcome::Running; }
    // Waits for the HTTP worker to end, if one was started.
    void JoinHttpWorker();
    // How the last road ended (Running while the HTTP worker is at work).
    RoadOutcome Outcome() const { return m_outcome.load(); }

    // The steps of the roads, public so that tests and tools can drive them one
    // by one. They behave as inside the roads; a failure carries the player's
    // message and what went wrong.
    void HttpUpdateWorker();
    StepResult InstallVersionHttp(const char* address, const char* version);
    // Fetches and checks the version's archive into "Temp". A failure removes the
    // archive; what a broken-off download left stays as its partial, to go on from.
    StepResult FetchArchiveHttp(const char* address, const char* version,
                                const std::string& gameFolder);
    StepResult OpenFtpSession();
    StepResult InstallVersionFtp(const char* version, int& record);
    bool RefreshRemoteListing();
    StepResult FetchFileWithProgress(const char* localPath, const char* remoteName);
    const std::vector<RemoteFile>& RemoteListing() const { return m_listing; }
    platform::FtpClient& Ftp() { return m_ftp; }

  private:
    // The road has finished: the flags say so, and the window switches to its
    // finished state.
    void FinishRoad();
    // A road has failed: the front end learns why.
    void FailRoad(const StepResult& failure);
    void CopyServerFields(const char* address, std::uint16_t port, const char* name,
                          const char* password, const char* versionFile);
    StepResult RunFtpRoad(const char* address, std::uint16_t port, const char* name,
                          const char* password, const char* versionFile);
    StepResult RunFtpVersionLoop();
    StepResult InstallFileByFile(const std::string& version);
    // With keys, a resumed version's journal starts again; `earlier` keeps what
    // it listed, each file to be checked again before it counts as staged.
    StepResult RestartJournalForChecks(StagingJournal& journal, StagingJournal& earlier);
    // Whether a file the earlier journal listed passes its check in this run.
    bool StagedFileStillGood(const FileEntry& entry, const StagingJournal& earlier,
                             bool compressed);
    // A folder line of a file-by-file list: made locally and in the staging
    // folder, and entered on a server that mirrors the folder tree.
    StepResult EnterListedFolder(const std::string& version, const std::string& folder);
    // A file line: fetched into the staging folder and, packed, unpacked there.
    StepResult FetchListedFile(const FileEntry& entry, bool compressed);
    StepResult InstallPackedFtp();
    StepResult TransferFile(const std::string& remoteName, const std::string& localPath,
                            std::uint32_t size);
    // What one transfer's reading came to: every listed byte (complete), a
    // failure, or a stop the player asked for.
    struct Received {
        StepResult result;
        std::uint64_t total = 0;
        bool complete = false;
        bool stopped = false;
    };
    // Reads the open remote file into `local` with progress, until it ends.
    Received ReceiveFile(const std::string& remoteName, const std::string& localPath,
                         std::uint32_t size, TransferSink& local);
    // The remote file's full path, to describe a failure (closes an open file).
    std::string RemotePathForFailure(const std::string& remoteName);
    // Opens the remote file for a transfer into `sink`, after the bytes the sink
    // already holds where the server allows it, else from its first byte.
    bool OpenRemoteFile(const std::string& remoteName, std::uint32_t size, TransferSink& sink);
    // What the FTP server said about `what` ("RETR a.bin"), for a failure.
    std::string FtpDetail(const std::string& what) const;
    StepResult RunHttpRoad();
    // Fetches `url` into `localPath`, stopping as soon as more than `ceiling`
    // bytes (0: no ceiling) have come; a failure carries `message` and is not
    // shown.
    StepResult DownloadHttp(const std::string& url, const std::string& localPath, int message,
                            std::uint64_t ceiling);
    // DownloadHttp for a large file of `version` (the archive): it goes on from
    // the bytes an earlier try left (PartialDownload), and those bytes are kept
    // when it fails for the next try.
    StepResult DownloadHttpResuming(const std::string& url, const std::string& localPath,
                                    const std::string& version, int message, std::uint64_t ceiling);
    // Fetches a small file of the current remote directory (a version file, a
    // list, a manifest or a signature) into `localPath` through the open-and-read
    // calls, which, unlike a whole-file retrieval, can stop at `ceiling` bytes.
    StepResult FetchFtpCopy(const std::string& remote, const std::string& localPath,
                            std::uint64_t ceiling);

    // How a road fetches one file of the update server (`remote`, in the road's
    // own terms) into a local copy of the launcher's naming, stopping past
    // `ceiling` bytes. Failures are not shown.
    using FetchCopy = std::function<StepResult(
        const std::string& remote, const std::string& localPath, std::uint64_t ceiling)>;
    // Fetches the version file the connect server named into kVersionFileCopy,
    // with keys its signature too, checks it and reads the table; the local
    // copies are gone afterwards, whatever happened.
    StepResult FetchVersionTable(const FetchCopy& fetch);
    // With keys: the version's manifest and its signature, fetched, checked and
    // held for the version's files; the local copies are gone afterwards.
    StepResult FetchManifest(const std::string& version, const FetchCopy& fetch);
    // A fetch's failure shown in the status line and handed on.
    StepResult Shown(StepResult result);
    // A refusal of UpdateTrust: message 138 in the status line, the cause kept.
    StepResult Refuse(StepResult result);
    void ShowStatus(int id);
    // Shows message `id` and returns it as a failure with `detail`.
    StepResult Fail(int id, std::string detail);
    void Pump();
    void HandOver();
    std::string GameFolder() const;

    LauncherState& m_launcher;
    UpdateState& m_update;
    LauncherWindow& m_window;
    UpdateEngineHooks m_hooks;

    platform::FtpClient m_ftp;
    std::vector<RemoteFile> m_listing;
    // The current remote directory below the version's folder ("" or, on a server
    // that mirrors the folder tree, "folder/"), as the manifest names files.
    std::string m_remoteFolder;
    UpdateTrust m_trust;

    std::thread m_httpWorker;
    std::atomic<RoadOutcome> m_outcome{RoadOutcome::None};
};

} // namespace tarnvale
