// The FTP road: runs on the launcher window's thread and keeps the window alive
// by dispatching one pending window message after each step and each chunk.
#include "update/UpdateEngine.h"

#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "state/MessageBoxes.h"
#include "update/Installation.h"
#include "update/PackedFile.h"
#include "update/PatchList.h"
#include "update/PatchLog.h"
#include "update/PathSafety.h"
#include "update/RoadFiles.h"
#include "update/TransferSink.h"
#include "update/UpdateServer.h"
#include "update/VersionConfig.h"

#include <chrono>
#include <thread>

namespace tarnvale {

namespace {

constexpr int kOpenAttempts = 100;
constexpr auto kOpenPause = std::chrono::milliseconds(100);

ClientVersion Unpacked(std::int32_t packed) {
    ClientVersion version;
    version.major = static_cast<std::uint8_t>(packed >> 16);
    version.minor = static_cast<std::uint8_t>(packed >> 8);
    version.build = static_cast<std::uint8_t>(packed);
    return version;
}

// Creates `folder` and every folder above it, below the current directory.
void MakeFolders(const std::string& folder) {
    for (std::size_t i = 0; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '\\' || folder[i] == '/')
            platform::MakeDirectory(folder.substr(0, i));
    }
}

} // namespace

void UpdateEngine::CloseFtpSession() {
    // The client closes the connection first and the session last, each only if
    // it is open.
    m_ftp.CloseSession();
}

std::string UpdateEngine::FtpDetail(const std::string& what) const {
    return "FTP " + what + ": " + m_ftp.ErrorText();
}

StepResult UpdateEngine::OpenFtpSession() {
    // The player confirms both failures in a box, which the road hands up.
    if (!m_ftp.OpenSession(updateserver::kFtpAgentName))
        return StepResult::FailureWithBox(
            msgid::kInternetOpenFailed, FtpDetail("session"),
            FormattedMessage(m_launcher, "%s\n[Error Code : %d]",
                             m_launcher.Text(msgid::kInternetOpenFailed), m_ftp.ErrorCode()));
    if (!m_ftp.Connect(m_update.server.serverAddress, m_update.server.serverPort,
                       m_update.server.accountName, m_update.server.accountPassword)) {
        const StepResult failure = StepResult::FailureWithBox(
            msgid::kFtpConnectFailed,
            FtpDetail(std::string("login at ") + m_update.server.serverAddress + ":" +
                      std::to_string(m_update.server.serverPort)),
            FormattedMessage(m_launcher, "%s\n[Error Code : %d]",
                             m_launcher.Text(msgid::kFtpConnectFailed), m_ftp.ErrorCode()));
        m_ftp.CloseSession();
        return failure;
    }
    return {};
}

bool UpdateEngine::StartFtpUpdate(const char* address, std::uint16_t port, const char* name,
                                  const char* password, const char* versionFile) {
    m_outcome = RoadOutcome::Failed;
    const StepResult result = RunFtpRoad(address, port, name, password, versionFile);
    if (!result)
        FailRoad(result);
    return result.Succeeded();
}

StepResult UpdateEngine::RunFtpRoad(const char* address, std::uint16_t port, const char* name,
                                    const char* password, const char* versionFile) {
    // Launchers before this one kept the version file in the game folder under
    // this name and left it there when they were stopped.
    platform::RemoveFile(updateserver::kDefaultVersionFileName);
    // A list left by a launcher stopped at the end of its road would stay for
    // good if nothing is due this time.
    platform::RemoveFile(updateserver::kPatchListName);
    CopyServerFields(address, port, name, password, versionFile);
    ShowStatus(msgid::kFtpUpdateStarts);
    m_update.selfUpdatePending = false;

    if (StepResult opened = OpenFtpSession(); !opened)
        return opened;
    if (m_hooks.closeConnectServer)
        m_hooks.closeConnectServer();

    ShowStatus(msgid::kFetchingVersionFile);
    if (StepResult read = FetchVersionTable(
            [this](const std::string& remote, const std::string& localPath, std::uint64_t ceiling) {
                return FetchFtpCopy(remote, localPath, ceiling);
            });
        !read)
        return read;
    return RunFtpVersionLoop();
}

StepResult UpdateEngine::RunFtpVersionLoop() {
    const std::vector<VersionEntry> table = m_update.versionTable;
    const int count = static_cast<int>(table.size());
    int skipped = 0;
    // The road's own failures add message 138 to the status line after the
    // step's own; the failure handed up keeps the step's.
    auto failed = [this](StepResult result) {
        ShowStatus(msgid::kUpdateFailed);
        return result;
    };
    // A journal of a version that is already installed was left by a launcher
    // stopped after it had recorded the version and before it retired the
    // journal; nothing will ever use it.
    std::int32_t journalled = 0;
    if (ReadPatchLogVersion(journalled) && journalled <= m_update.localVersion.Packed())
        platform::RemoveFile(kPatchLogName);
    for (int i = 0; i < count; ++i) {
        const VersionEntry& entry = table[static_cast<std::size_t>(i)];
        if (!IsNewer(entry, m_update.localVersion)) {
            ++skipped;
            m_window.totalBar.SetRange(count - skipped);
            continue;
        }
        m_update.currentVersion = entry.Packed();
        if (!platform::PathExists(kPatchLogName))
            AppendPatchLog(kLogVersion, FormatLogForm(entry.version).c_str());

        std::string startDirectory;
        m_ftp.GetRemoteDirectory(startDirectory);
        platform::RemoveFile(updateserver::kPatchListName);
        int record = 1;
        if (StepResult installed = InstallVersionFtp(entry.name, record); !installed) {
            platform::RemoveFile(updateserver::kPatchListName);
            return installed;
        }
        platform::RemoveFile(updateserver::kPatchListName);
        m_update.localVersion = entry.version;
        if (!startDirectory.empty())
            m_ftp.SetRemoteDirectory(startDirectory);

        if (!m_update.listFlags.packingVersion) {
            if (StepResult copied = CopyFromTemp(m_update, m_window); !copied)
                return failed(copied);
        }
        if (StepResult cleared = DeleteTempFiles(m_window); !cleared)
            return failed(cleared);
        if (AnyProbeFilePresent())
            RunWholesaleDelete();
        // The files are in place; a version that cannot be recorded would be
        // fetched again at every start, so the road fails here rather than end
        // as if all were well.
        if (m_launcher.launchMode != kLaunchOverride && record == 1) {
            if (StepResult recorded = WriteLocalVersion(m_launcher, m_update, GameFolder());
                !recorded)
                return failed(recorded);
        }
        if (m_update.selfUpdatePending) {
            m_outcome = RoadOutcome::HandedOver;
            HandOver();
            return {};
        }
        m_window.totalBar.SetPos(i + 1 - skipped);
        m_window.RefreshProgress();
    }

    ShowStatus(msgid::kTransferDone);
    CloseFtpSession();
    FinishRoad();
    return {};
}

StepResult UpdateEngine::FetchFtpCopy(const std::string& remote, const std::string& localPath,
                                      std::uint64_t ceiling) {
    auto failed = [&](const std::string& why) {
        m_ftp.CloseFile();
        return StepResult::Failure(msgid::kTransferFailed, why);
    };
    if (!m_ftp.OpenFile(remote, 0))
        return failed(FtpDetail("RETR " + remote));
    std::string bytes;
    char buffer[platform::kFtpChunkSize];
    for (;;) {
        std::size_t got = 0;
        const platform::FtpRead read = m_ftp.ReadFile(buffer, sizeof buffer, got);
        if (read == platform::FtpRead::End)
            break;
        if (read == platform::FtpRead::Failed)
            return failed(FtpDetail("RETR " + remote));
        if (bytes.size() + got > ceiling)
            return failed("FTP: " + remote + " is larger than the " + std::to_string(ceiling) +
                          " bytes allowed");
        bytes.append(buffer, got);
    }
    m_ftp.CloseFile();
    if (!platform::WriteWholeFile(localPath, bytes))
        return StepResult::Failure(msgid::kTransferFailed,
                                   "cannot write " + platform::NativePath(localPath) + ": " +
                                       platform::LastFileErrorText());
    return {};
}

StepResult UpdateEngine::InstallVersionFtp(const char* version, int& record) {
    m_trust.Forget();
    m_remoteFolder.clear();
    if (!m_ftp.SetRemoteDirectory(version))
        return Fail(msgid::kCannotEnterVersionDir, FtpDetail(std::string("CWD ") + version));
    // A signed server proves the version before anything of it is fetched.
    const FetchCopy fetch = [this](const std::string& remote, const std::string& localPath,
                                   std::uint64_t ceiling) {
        return FetchFtpCopy(remote, localPath, ceiling);
    };
    if (StepResult loaded = FetchManifest(version, fetch); !loaded)
        return loaded;
    platform::RemoveFile(updateserver::kPatchListName);
    std::uint64_t listCeiling = kMaxListBytes;
    if (StepResult expected =
            Refuse(m_trust.ExpectedSize(updateserver::kPatchListName, listCeiling));
        !expected)
        return expected;
    if (StepResult listed =
            Shown(fetch(updateserver::kPatchListName, updateserver::kPatchListName, listCeiling));
        !listed)
        return listed;
    if (StepResult checked =
            m_trust.CheckFile(updateserver::kPatchListName, updateserver::kPatchListName);
        !checked)
        return Refuse(checked);

    m_launcher.testServerFlag =
        static_cast<std::uint32_t>(ReadListFlag(kFlagTestServer, m_launcher, m_window));
    if (m_launcher.launchMode == kLaunchNormal) {
        record = m_launcher.testServerFlag == 0 ? 1 : 0;
        // A test-server version in normal mode: nothing of it is fetched, and
        // config.ini keeps the version it had.
        if (record == 0)
            return {};
    }

    m_update.listFlags.compressed = ReadListFlag(kFlagCompressed, m_launcher, m_window) != 0;
    m_update.listFlags.newToolVersion =
        ReadListFlag(kFlagNewToolVersion, m_launcher, m_window) != 0;
    m_update.listFlags.packingVersion =
        ReadListFlag(kFlagPackingVersion, m_launcher, m_window) != 0;
    m_update.resumeFromLog = platform::PathExists(kPatchLogName);

    ShowStatus(msgid::kReadingList);
    RefreshRemoteListing();
    platform::MakeDirectory(kStagingFolder);
    return m_update.listFlags.packingVersion ? InstallPackedFtp() : InstallFileByFile(version);
}

StepResult UpdateEngine::RestartJournalForChecks(StagingJournal& journal, StagingJournal& earlier) {
    // With keys, nothing staged by an earlier run is installed unchecked. The
    // journal starts again for this version, and a file it listed counts as
    // staged only once this run has checked it again (StagedFileStillGood).
    if (!m_trust.Enabled() || !m_update.resumeFromLog || !journal.Exists() ||
        journal.Version() != m_update.currentVersion)
        return {};
    earlier = journal;
    journal.Discard();
    if (journal.Append(kLogVersion, FormatLogForm(Unpacked(m_update.currentVersion))))
        return {};
    return StepResult::Failure(msgid::kUpdateFailed, std::string("cannot start ") + kPatchLogName +
                                                         ": " + platform::LastFileErrorText());
}

bool UpdateEngine::StagedFileStillGood(const FileEntry& entry, const StagingJournal& earlier,
                                       bool compressed) {
    // A plain file is hashed against the manifest where it lies; a packed file
    // was unpacked when it was staged, which its manifest entry (the packed
    // bytes) cannot check, so it is fetched again.
    if (compressed || !earlier.HasFile(entry.relativePath))
        return false;
    for (const RemoteFile& file : m_listing) {
        if (NamesEqual(file.name, entry.name))
            return m_trust.CheckFile(m_remoteFolder + file.name, entry.localPath).Succeeded();
    }
    return false;
}

StepResult UpdateEngine::EnterListedFolder(const std::string& version, const std::string& folder) {
    MakeFolders(folder);
    MakeFolders(std::string(kStagingFolder) + "\\" + folder);
    if (!m_update.listFlags.newToolVersion)
        return {};
    const std::string directory = updateserver::MirroredFolderDirectory(version, folder);
    if (!m_ftp.SetRemoteDirectory(directory))
        return Fail(msgid::kCannotEnterVersionDir, FtpDetail("CWD " + directory));
    m_remoteFolder = directory.substr(version.size() + 2);
    RefreshRemoteListing();
    return {};
}

StepResult UpdateEngine::FetchListedFile(const FileEntry& entry, bool compressed) {
    if (StepResult fetched = FetchFileWithProgress(entry.localPath.c_str(), entry.name.c_str());
        !fetched)
        return fetched;
    if (!compressed)
        return {};
    const std::string folder = entry.localPath.substr(0, entry.localPath.find_last_of('\\') + 1);
    StepResult unpacked =
        UnpackQxcFile(entry.localPath.c_str(), folder.c_str(), m_window, m_update.stopRequested);
    if (unpacked)
        platform::RemoveFile(entry.localPath);
    return unpacked;
}

StepResult UpdateEngine::InstallFileByFile(const std::string& version) {
    PatchListReader reader;
    if (!reader.Open(updateserver::kPatchListName))
        return Fail(msgid::kCannotOpenPatchList, std::string("cannot open ") +
                                                     updateserver::kPatchListName + ": " +
                                                     platform::LastFileErrorText());
    ShowStatus(msgid::kFetchingFiles);
    const bool compressed = m_update.listFlags.compressed;
    // A failing file shows message 138 after its own; the failure keeps the
    // file's own message and cause.
    auto fail = [&](StepResult result) {
        reader.Close();
        ShowStatus(msgid::kUpdateFailed);
        return result;
    };
    auto failList = [&](const std::string& why) {
        return fail(StepResult::Failure(msgid::kUpdateFailed, "version " + version + ", " +
                                                                  updateserver::kPatchListName +
                                                                  ": " + why));
    };

    StagingJournal journal;
    journal.Load();
    StagingJournal earlier;
    if (StepResult restarted = RestartJournalForChecks(journal, earlier); !restarted)
        return fail(restarted);
    FileByFileReading reading(reader);
    for (;;) {
        const FileEntry entry = reading.Next();
        switch (entry.kind) {
        case FileEntry::Kind::End:
            reader.Close();
            return {};
        case FileEntry::Kind::Rejected:
            return failList("an overlong token or a name that leaves the game folder");
        case FileEntry::Kind::Ignored:
            break;
        case FileEntry::Kind::Folder:
            if (StepResult entered = EnterListedFolder(version, entry.folder); !entered)
                return fail(entered);
            break;
        case FileEntry::Kind::File: {
            // A packed file is journalled and installed under its name without
            // ".QXC"; a list that packs a file under another name cannot be staged.
            if (compressed && !updateserver::EndsWithPackedSuffix(entry.relativePath))
                return failList("\"" + entry.relativePath + "\" lacks the packed suffix " +
                                updateserver::kPackedSuffix);
            const std::string key =
                compressed ? entry.relativePath.substr(0, entry.relativePath.size() -
                                                              updateserver::kPackedSuffixLength)
                           : entry.relativePath;
            if (m_update.resumeFromLog) {
                if (journal.Exists() && journal.Version() != m_update.currentVersion) {
                    journal.Discard();
                    m_update.resumeFromLog = false;
                    journal.Append(kLogVersion, FormatLogForm(Unpacked(m_update.currentVersion)));
                } else if (journal.HasFile(key)) {
                    break; // staged by an earlier attempt
                }
            }
            if (!StagedFileStillGood(entry, earlier, compressed)) {
                if (StepResult fetched = FetchListedFile(entry, compressed); !fetched)
                    return fail(fetched);
            }
            // A file that cannot be journalled (a name with a blank) would never be
            // copied into place: the version fails instead of going on without it.
            if (!journal.Append(kLogFile, key))
                return fail(StepResult::Failure(
                    msgid::kUpdateFailed, "cannot journal \"" + key + "\" in " + kPatchLogName +
                                              ": " + platform::LastFileErrorText()));
            break;
        }
        }
        Pump();
    }
}

StepResult UpdateEngine::InstallPackedFtp() {
    PatchListReader reader;
    if (!reader.Open(updateserver::kPatchListName))
        return Fail(msgid::kCannotOpenPatchList, std::string("cannot open ") +
                                                     updateserver::kPatchListName + ": " +
                                                     platform::LastFileErrorText());
    ShowStatus(msgid::kFetchingFiles);
    const std::string gameFolder = GameFolder();
    const std::string folder = gameFolder + "\\";
    auto fail = [&](StepResult result) {
        reader.Close();
        DiscardArchiveLeftovers(kStagedArchivePath, folder.c_str());
        ShowStatus(msgid::kUpdateFailed);
        return result;
    };
    // With keys the archive is fetched and checked before the list's removals, so
    // that a refused archive leaves the game folder as it was.
    const bool archiveFirst = m_trust.Enabled();
    auto fetchArchive = [&] {
        return FetchFileWithProgress(kStagedArchivePath, updateserver::kArchiveName);
    };
    if (archiveFirst) {
        if (StepResult fetched = fetchArchive(); !fetched)
            return fail(fetched);
    }
    if (StepResult removed = ApplyDeleteEntries(reader, gameFolder, m_update, m_launcher, m_window,
                                                [this] { Pump(); });
        !removed) {
        if (archiveFirst)
            return fail(removed);
        ShowStatus(msgid::kUpdateFailed);
        return removed;
    }
    if (!archiveFirst) {
        if (StepResult fetched = fetchArchive(); !fetched)
            return fail(fetched);
    }
    ShowStatus(msgid::kUnpackingArchive);
    if (StepResult extracted = ExtractUpdateArchive(kStagedArchivePath, folder.c_str()); !extracted)
        return fail(extracted);
    reader.Close();
    return {};
}

bool UpdateEngine::RefreshRemoteListing() {
    m_listing.clear();
    std::vector<platform::FtpEntry> entries;
    const bool listed = m_ftp.ListDirectory(updateserver::kFtpListPattern, entries);
    for (const platform::FtpEntry& entry : entries) {
        // Only a plain directory is left out: a directory with more attribute bits
        // is listed like a file, as the system's listing reports it.
        if (entry.attributes == platform::kFtpAttributeDirectory || entry.name == "." ||
            entry.name == "..")
            continue;
        // The FTP client leaves out names too long for a slot (over 255 bytes).
        if (m_listing.size() >= kMaxRemoteListing) {
            m_window.ShowMessage(
                FormattedMessage(m_launcher, "%s", m_launcher.Text(msgid::kListingTooLong)));
            continue;
        }
        m_listing.push_back({entry.name, static_cast<std::uint32_t>(entry.size)});
    }
    return listed;
}

StepResult UpdateEngine::FetchFileWithProgress(const char* localPath, const char* remoteName) {
    for (const RemoteFile& file : m_listing) {
        if (NamesEqual(file.name, remoteName)) {
            // With keys, a file the manifest leaves out, or one listed at another
            // size than the manifest gives, is refused before any of it comes.
            const std::string manifestPath = m_remoteFolder + file.name;
            std::uint64_t expected = file.size;
            if (StepResult known = m_trust.ExpectedSize(manifestPath, expected); !known)
                return known;
            if (expected != file.size)
                return StepResult::Failure(msgid::kUpdateFailed,
                                           "size mismatch (listed " + std::to_string(file.size) +
                                               " bytes, manifest " + std::to_string(expected) +
                                               "): " + manifestPath);
            m_window.fileBar.SetRange(100);
            if (StepResult transferred = TransferFile(file.name, localPath, file.size);
                !transferred)
                return transferred;
            // Checked before anything journals, unpacks, extracts or copies it; the
            // callers add message 138 to a failure, as for any other.
            return m_trust.CheckFile(manifestPath, localPath);
        }
    }
    std::string directory;
    m_ftp.GetRemoteDirectory(directory);
    return StepResult::Failure(msgid::kUpdateFailed, std::string("FTP: \"") + remoteName +
                                                         "\" is not listed in " + directory);
}

bool UpdateEngine::OpenRemoteFile(const std::string& remoteName, std::uint32_t size,
                                  TransferSink& sink) {
    // A server that will not start after the bytes already there (no REST)
    // sends the whole file instead.
    if (sink.Offset() > 0) {
        if (m_ftp.OpenFile(remoteName, size, sink.Offset())) {
            m_window.ReportResume(sink.Offset(), size);
            return true;
        }
        if (m_ftp.TimedOut() || !sink.StartOver())
            return false;
    }
    // The attempts are for a server that refuses for a moment; one that stays
    // silent is not asked again, or the road would wait a hundred times as long.
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (m_ftp.OpenFile(remoteName, size))
            return true;
        if (m_ftp.TimedOut())
            break;
        std::this_thread::sleep_for(kOpenPause);
    }
    return false;
}

std::string UpdateEngine::RemotePathForFailure(const std::string& remoteName) {
    // Asked for only to describe a failure, and only while no file is open: it
    // costs a round trip on Windows, and while a file is open the client answers
    // nothing else (its error would replace the transfer's).
    m_ftp.CloseFile();
    std::string directory;
    m_ftp.GetRemoteDirectory(directory);
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    return directory + remoteName;
}

UpdateEngine::Received UpdateEngine::ReceiveFile(const std::string& remoteName,
                                                 const std::string& localPath, std::uint32_t size,
                                                 TransferSink& local) {
    const int scale =
        m_update.listFlags.packingVersion ? 100 : (m_update.listFlags.compressed ? 50 : 100);
    char buffer[platform::kFtpChunkSize];
    Received received;
    received.total = local.Offset();
    for (;;) {
        std::size_t got = 0;
        const platform::FtpRead read = m_ftp.ReadFile(buffer, sizeof buffer, got);
        // The client ends a transfer only after the listed number of bytes; a
        // transfer that breaks off, ends short or stalls is a failure, never a
        // finished file. Reading on to the end (rather than stopping at the
        // listed size) lets the transfer finish cleanly, so the connection stays
        // usable; a server that sends more than it listed is stopped at once.
        if (read == platform::FtpRead::End)
            received.complete = received.total >= size;
        if (read == platform::FtpRead::Failed) {
            const std::string why = m_ftp.ErrorText();
            received.result = StepResult::Failure(
                msgid::kUpdateFailed, "FTP RETR " + RemotePathForFailure(remoteName) + ": " + why);
        }
        if (read != platform::FtpRead::Data)
            return received;
        if (received.total + got > size) {
            received.result = StepResult::Failure(msgid::kUpdateFailed,
                                                  "FTP: " + RemotePathForFailure(remoteName) +
                                                      " sent more than its " +
                                                      std::to_string(size) + " listed bytes");
            return received;
        }
        if (!local.Write(buffer, got)) {
            received.result = Fail(msgid::kCannotCreateLocalFile,
                                   "cannot write " + platform::NativePath(localPath) + ": " +
                                       platform::LastFileErrorText());
            return received;
        }
        received.total += got;
        m_window.fileBar.SetPos(
            static_cast<int>(static_cast<double>(received.total) * scale / size));
        m_window.ReportTransfer(received.total, size);
        m_window.RefreshProgress();
        Pump();
        // The Close button, run by the message just dispatched, may have asked
        // to stop. The flag stays set: a second Close then ends the launcher.
        if (m_update.stopRequested) {
            received.stopped = true;
            received.result =
                StepResult::Failure(msgid::kUpdateFailed, "stopped by the player during " +
                                                              RemotePathForFailure(remoteName));
            return received;
        }
    }
}

StepResult UpdateEngine::TransferFile(const std::string& remoteName, const std::string& localPath,
                                      std::uint32_t size) {
    if (size == 0)
        return StepResult::Failure(msgid::kUpdateFailed,
                                   "FTP: " + RemotePathForFailure(remoteName) +
                                       " is listed with size 0");
    m_update.stopRequested = false;

    // The file appears under its name only once every byte has arrived, so an
    // interrupted transfer never leaves a short file that looks fetched.
    TransferSink local;
    if (!local.Open(localPath, FormatLogForm(Unpacked(m_update.currentVersion)), size))
        return Fail(msgid::kCannotCreateLocalFile, "cannot create " +
                                                       platform::NativePath(localPath) + ": " +
                                                       platform::LastFileErrorText());
    if (!OpenRemoteFile(remoteName, size, local))
        return Fail(msgid::kCannotOpenRemoteFile,
                    FtpDetail("RETR " + RemotePathForFailure(remoteName) + " (" +
                              std::to_string(kOpenAttempts) + " attempts)"));

    const Received received = ReceiveFile(remoteName, localPath, size, local);
    m_ftp.CloseFile();
    if (!received.complete) {
        if (!received.stopped)
            m_update.stopRequested = false;
        if (received.result)
            return StepResult::Failure(msgid::kUpdateFailed,
                                       "FTP: " + RemotePathForFailure(remoteName) +
                                           " ended after " + std::to_string(received.total) +
                                           " of " + std::to_string(size) + " listed bytes");
        return received.result;
    }
    if (!local.Commit())
        return Fail(msgid::kCannotCreateLocalFile,
                    "cannot put " + platform::NativePath(localPath) +
                        " in place: " + platform::LastFileErrorText());
    m_update.stopRequested = false;
    return {};
}

} // namespace tarnvale
