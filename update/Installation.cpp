#include "update/Installation.h"

#include "msg/MessageBoxRequest.h"
#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "state/LauncherWindow.h"
#include "state/MessageBoxes.h"
#include "tarnvale/settings.h"
#include "update/CUnzipFile.h"
#include "update/PatchList.h"
#include "update/PatchLog.h"
#include "update/PathSafety.h"
#include "update/SelfUpdate.h"
#include "update/UpdateState.h"
#include "update/VersionConfig.h"

#include <array>
#include <cstdio>
#include <memory>

namespace tarnvale {
namespace {

constexpr char kConfigErrorText[] = "\"config.ini\" error";
constexpr char kPatchInstallErrorFormat[] = "Patch Install Error, File : %s (%d)";

constexpr char kConfigWaitingName[] = "config._ni";

// Installation failures show message 138 in the status line (the road's
// caller adds it); the detail says what the platform said.
StepResult InstallFailure(std::string detail) {
    return StepResult::Failure(msgid::kUpdateFailed, std::move(detail));
}

// An archive that cannot be put in place: the box, after which the window is
// asked to close (see ExtractUpdateArchive).
StepResult ErrorBoxFailure(std::string text, std::string detail,
                           platform::TextCodePage codePage = platform::TextCodePage::kGame) {
    return StepResult::FailureWithBox(msgid::kUpdateFailed, std::move(detail),
                                      MessageBoxRequest{std::move(text), ApplicationName(),
                                                        platform::kMbIconError, true, codePage,
                                                        true});
}

std::string FileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The other name of a support file, or empty when `name` is not one. The table
// is the one the next start uses to put the waiting copies in place.
std::string SupportFileOtherName(const std::string& name) {
    for (const WaitingCopy& copy : WaitingCopies())
        if (NamesEqual(name, copy.target))
            return copy.waiting;
    return {};
}

} // namespace

std::string ArchiveWriteName(const std::string& name) {
    if (NamesEqual(name, kConfigIniName))
        return kConfigWaitingName;
    const std::string other = SupportFileOtherName(name);
    return other.empty() ? name : other;
}

CopyDestination CopyWriteName(const std::string& stagedPath) {
    const std::string fileName = FileNameOf(stagedPath);
    CopyDestination result;
    result.selfUpdate = NamesEqual(fileName, LauncherFileName());
    const std::string other = SupportFileOtherName(fileName);
    result.destination = other.empty() ? stagedPath : other;
    return result;
}

StepResult CopyFromTemp(UpdateState& update, LauncherWindow& window) {
    PatchLogReader journal;
    if (!journal.Open())
        return InstallFailure("cannot open " + std::string(kPatchLogName) + ": " +
                              platform::LastFileErrorText());
    const std::string current = platform::CurrentDirectory();
    char kind = 0;
    std::string text;
    while (journal.Next(kind, text)) {
        if (kind != kLogFile)
            continue;
        // The journal is a file in the game folder; a line naming a path outside
        // it is not copied, whoever wrote it.
        if (!IsSafeGamePath(text))
            return InstallFailure(std::string(kPatchLogName) + " names \"" + text +
                                  "\", outside the game folder");
        const std::string source = current + "\\" + kStagingFolder + "\\" + text;
        const CopyDestination target = CopyWriteName(text);
        if (target.selfUpdate)
            update.selfUpdatePending = true;
        const std::string destination = current + "\\" + target.destination;
        platform::SetNormalAttributes(destination);
        if (!platform::PlaceStagedCopy(source, destination)) {
            const int error = platform::LastFileError();
            char message[1024];
            std::snprintf(message, sizeof message, kPatchInstallErrorFormat, source.c_str(), error);
            journal.Close();
            return StepResult::FailureWithBox(
                msgid::kUpdateFailed,
                "cannot copy " + platform::NativePath(source) + " to " +
                    platform::NativePath(destination) + ": " + platform::FileErrorText(error),
                MessageBoxRequest{message, ApplicationName(), platform::kMbOk, true});
        }
        window.PumpMessage();
    }
    return {};
}

StepResult DeleteTempFiles(LauncherWindow& window) {
    PatchLogReader journal;
    if (!journal.Open())
        return InstallFailure("cannot open " + std::string(kPatchLogName) + ": " +
                              platform::LastFileErrorText());
    std::vector<std::string> staged;
    char kind = 0;
    std::string text;
    while (journal.Next(kind, text)) {
        if (kind != kLogFile)
            continue;
        // A journal naming a path outside the game folder was not written by
        // this launcher: nothing of it is deleted, and it stays for a person to
        // look at.
        if (!IsSafeGamePath(text))
            return {};
        staged.push_back(text);
    }
    journal.Close();

    // Every staged file has been copied into place, so the journal has done its
    // job and goes first. Were it deleted last, a launcher stopped among the
    // deletions would leave a journal that claims files that are gone: the next
    // start would fetch nothing, fail to copy, and do so at every later start.
    // Without the journal the version is simply fetched again if it was not yet
    // recorded. A journal that cannot be deleted keeps its staged files.
    if (!platform::RemoveFile(kPatchLogName))
        return {};
    const std::string current = platform::CurrentDirectory();
    for (const std::string& name : staged) {
        // A copy that cannot be deleted is left for the clean-up at game start.
        platform::RemoveFile(current + "\\" + kStagingFolder + "\\" + name);
        window.PumpMessage();
    }
    return {};
}

namespace {

// The names of an archive with its separators turned into "\", as they are
// written. Every name is checked before the first file is written.
// Empty when every name of the archive may be written, otherwise the first name
// that may not. Unsupported and encrypted entries throw.
std::string FirstUnacceptableName(CUnzipFile& zip, std::string& entry) {
    if (!zip.GoToFirstFile())
        return {};
    do {
        UnzipFileInfo info;
        zip.GetCurrentFileInfo(info);
        entry = zip.GetCurrentFileName();
        if (!IsSafeGamePath(entry))
            return entry;
        // Checked again when the entry is opened; refusing here keeps a refused
        // archive from writing anything.
        if ((info.method != 0 && info.method != 8) || (info.flag & 1))
            throw CZipException(CZipException::badZipFile, zip.GetFilePath());
    } while (zip.GoToNextFile());
    entry.clear();
    return {};
}

// Creates the folders of `name` under `gameFolder`, remembering the last one so
// that a run of entries in one folder does not test it again and again.
void CreateEntryFolders(const std::string& gameFolder, const std::string& name,
                        std::string& lastCreated) {
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\')
            continue;
        const std::string prefix = name.substr(0, i + 1);
        if (lastCreated.size() >= prefix.size() &&
            lastCreated.compare(0, prefix.size(), prefix) == 0)
            continue;
        const std::string folder = gameFolder + prefix;
        if (!platform::IsDirectory(folder))
            platform::MakeDirectory(folder);
        lastCreated = prefix;
    }
}

enum class EntryResult { Written, CannotCreate, WriteFailed };

EntryResult WriteEntry(CUnzipFile& zip, const std::string& destination, unsigned char* buffer) {
    platform::StagedFile out;
    if (!out.Create(destination))
        return EntryResult::CannotCreate;
    zip.OpenCurrentFile();
    for (;;) {
        const size_t got = zip.ReadCurrentFile(buffer, CUnzipFile::kReadBufferSize);
        if (got > 0 && !out.Write(buffer, got))
            return EntryResult::WriteFailed;
        if (got < CUnzipFile::kReadBufferSize)
            break;
    }
    // The checksum test: a damaged entry throws here and its staging file goes
    // with `out`, so the destination keeps what it had.
    zip.CloseCurrentFile();
    return out.Commit() ? EntryResult::Written : EntryResult::CannotCreate;
}

void RemoveWaitingConfig(const std::string& gameFolder) {
    const std::string waitingConfig = gameFolder + kConfigWaitingName;
    if (platform::PathExists(waitingConfig)) {
        platform::SetNormalAttributes(waitingConfig);
        platform::RemoveFile(waitingConfig);
    }
}

// Puts the archive's "config._ni" in place as config.ini; `archive` names the
// archive in a failure.
StepResult PutWaitingConfigInPlace(const std::string& archive, const std::string& gameFolder) {
    const std::string config = gameFolder + kConfigIniName;
    const std::string waitingConfig = gameFolder + kConfigWaitingName;
    if (platform::PathExists(config))
        platform::SetNormalAttributes(config);
    // A rename, not a copy and a delete: config.ini changes at one instant, and
    // no "config._ni" can stay behind.
    if (!platform::PathExists(waitingConfig))
        return ErrorBoxFailure(kConfigErrorText, archive + " has no top-level config.ini");
    if (!platform::MoveFileReplacing(waitingConfig, config))
        return ErrorBoxFailure(kConfigErrorText,
                               "cannot put " + platform::NativePath(waitingConfig) +
                                   " in place of " + platform::NativePath(config) + ": " +
                                   platform::LastFileErrorText());
    return {};
}

} // namespace

StepResult ExtractUpdateArchive(const char* archivePath, const char* gameFolderText) {
    if (!archivePath || !gameFolderText)
        return InstallFailure("no archive to extract");
    const std::string gameFolder = gameFolderText;
    const std::string archive = platform::NativePath(archivePath);
    // The entry at work, for the detail of a failure.
    std::string entry;
    auto entryFailure = [&](const std::string& why) {
        return InstallFailure(archive + (entry.empty() ? "" : ", entry \"" + entry + "\"") + ": " +
                              why);
    };
    try {
        CUnzipFile zip(archivePath);
        const std::string refused = FirstUnacceptableName(zip, entry);
        if (!refused.empty())
            return entryFailure("the name leaves the game folder");
        // A "config._ni" left by an earlier, failed extraction must not pass for
        // this archive's "config.ini".
        RemoveWaitingConfig(gameFolder);

        const auto buffer = std::make_unique<unsigned char[]>(CUnzipFile::kReadBufferSize);
        std::string lastFolder;
        for (bool more = zip.GoToFirstFile(); more; more = zip.GoToNextFile()) {
            UnzipFileInfo info;
            zip.GetCurrentFileInfo(info);
            entry = zip.GetCurrentFileName();
            std::string name = entry;
            for (char& c : name) {
                if (c == '/')
                    c = '\\';
            }
            CreateEntryFolders(gameFolder, name, lastFolder);
            if (name.empty() || name.back() == '\\')
                continue; // a folder entry
            const std::string destination = gameFolder + ArchiveWriteName(name);
            if (platform::PathExists(destination))
                platform::SetNormalAttributes(destination);
            switch (WriteEntry(zip, destination, buffer.get())) {
            case EntryResult::Written:
                break;
            case EntryResult::CannotCreate: {
                const StepResult failure =
                    entryFailure("cannot create " + platform::NativePath(destination) + ": " +
                                 platform::LastFileErrorText());
                return ErrorBoxFailure(destination + kCannotOpenFileText, failure.Detail(),
                                       platform::TextCodePage::kPathThenDeveloper);
            }
            case EntryResult::WriteFailed:
                return entryFailure("cannot write " + platform::NativePath(destination) + ": " +
                                    platform::LastFileErrorText());
            }
            zip.ApplyEntryStatus(destination, info);
        }
        entry.clear();
        zip.Close();
    } catch (const CZipException& e) {
        return entryFailure(e.CauseText());
    } catch (const CFileException& e) {
        return InstallFailure("cannot open " + archive + ": " +
                              platform::FileErrorText(e.m_lOsError));
    } catch (const std::bad_alloc&) {
        return entryFailure("out of memory");
    }

    // The archive has given all it holds. It goes before the new config.ini is
    // put in place, so that no step after that one is left for a launcher that
    // is stopped in between.
    platform::RemoveFile(archivePath);
    return PutWaitingConfigInPlace(archive, gameFolder);
}

void DiscardArchiveLeftovers(const char* archivePath, const char* gameFolder) {
    platform::RemoveFile(archivePath);
    RemoveWaitingConfig(gameFolder);
}

void CleanTempFolder() {
    platform::RemoveTree(std::string(".\\") + kStagingFolder);
}

bool AnyProbeFilePresent() {
    static constexpr std::array<const char*, 4> kProbeFiles = {
        ".\\Dec2.dat", ".\\ring.OZJ", ".\\FontTest.OZT", ".\\Antidote01.bmd"};
    for (const char* probe : kProbeFiles) {
        if (platform::PathExists(probe))
            return true;
    }
    return false;
}

int RunWholesaleDelete() {
    static constexpr std::array<const char*, 9> kKinds = {".dat", ".bmd", ".txt", ".OZJ", ".OZT",
                                                          ".wav", ".att", ".obj", ".map"};
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::ListDirectory(".", entries))
        return 0;
    int deleted = 0;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.attributes &
            (platform::kAttrDirectory | platform::kAttrHidden | platform::kAttrSystem))
            continue;
        const size_t dot = entry.name.rfind('.');
        if (dot == std::string::npos)
            continue;
        const std::string extension = entry.name.substr(dot);
        bool wanted = false;
        for (const char* kind : kKinds)
            wanted = wanted || NamesEqual(extension, kind);
        if (!wanted)
            continue;
        const std::string path = std::string(".\\") + entry.name;
        platform::SetNormalAttributes(path);
        if (platform::RemoveFile(path))
            ++deleted;
    }
    return deleted;
}

} // namespace tarnvale
