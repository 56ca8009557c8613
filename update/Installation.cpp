#include "update/Installation.h"

#include "app/LauncherWindow.h"
#include "app/MessageBoxes.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
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

// "%s파일을 열수가 없습니다" ("cannot open the file %s"), code page 949.
constexpr char kCannotOpenFileFormat[] =
    "%s\xc6\xc4\xc0\xcf\xc0\xbb \xbf\xad\xbc\xf6\xb0\xa1 \xbe\xf8\xbd\xc0\xb4\xcf\xb4\xd9";
constexpr char kConfigErrorText[] = "\"config.ini\" error";
constexpr char kPatchInstallErrorFormat[] = "Patch Install Error, File : %s (%d)";

constexpr char kConfigWaitingName[] = "config._ni";

void ShowErrorText(const std::string& text) {
    platform::ShowMessageBox(text.c_str(), ApplicationName().c_str(), platform::kMbIconError, true);
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

bool CopyFromTemp(UpdateState& update, LauncherWindow& window) {
    PatchLogReader journal;
    if (!journal.Open())
        return false;
    const std::string current = platform::CurrentDirectory();
    char kind = 0;
    std::string text;
    while (journal.Next(kind, text)) {
        if (kind != kLogFile)
            continue;
        // The journal is a file in the game folder; a line naming a path outside
        // it is not copied, whoever wrote it.
        if (!IsSafeGamePath(text))
            return false;
        const std::string source = current + "\\" + kStagingFolder + "\\" + text;
        const CopyDestination target = CopyWriteName(text);
        if (target.selfUpdate)
            update.selfUpdatePending = true;
        const std::string destination = current + "\\" + target.destination;
        platform::SetNormalAttributes(destination);
        if (!platform::CopyFileReplacing(source, destination)) {
            char message[1024];
            std::snprintf(message, sizeof message, kPatchInstallErrorFormat, source.c_str(),
                          platform::LastFileError());
            journal.Close();
            platform::ShowMessageBox(message, ApplicationName().c_str(), platform::kMbOk, true);
            return false;
        }
        window.PumpMessage();
    }
    return true;
}

bool DeleteTempFiles(LauncherWindow& window) {
    PatchLogReader journal;
    if (!journal.Open())
        return false;
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
            return true;
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
        return true;
    const std::string current = platform::CurrentDirectory();
    for (const std::string& name : staged) {
        // A copy that cannot be deleted is left for the clean-up at game start.
        platform::RemoveFile(current + "\\" + kStagingFolder + "\\" + name);
        window.PumpMessage();
    }
    return true;
}

namespace {

// The names of an archive with its separators turned into "\", as they are
// written. Every name is checked before the first file is written.
bool ArchiveIsAcceptable(CUnzipFile& zip) {
    if (!zip.GoToFirstFile())
        return true;
    do {
        UnzipFileInfo info;
        zip.GetCurrentFileInfo(info);
        if (!IsSafeGamePath(zip.GetCurrentFileName()))
            return false;
        // Checked again when the entry is opened; refusing here keeps a refused
        // archive from writing anything.
        if ((info.method != 0 && info.method != 8) || (info.flag & 1))
            throw CZipException(CZipException::badZipFile, zip.GetFilePath());
    } while (zip.GoToNextFile());
    return true;
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

} // namespace

bool ExtractUpdateArchive(const char* archivePath, const char* gameFolderText,
                          const std::function<void()>& requestWindowClose) {
    if (!archivePath || !gameFolderText)
        return false;
    const std::string gameFolder = gameFolderText;
    auto askToClose = [&] {
        if (requestWindowClose)
            requestWindowClose();
    };
    try {
        CUnzipFile zip(archivePath);
        if (!ArchiveIsAcceptable(zip))
            return false;
        // A "config._ni" left by an earlier, failed extraction must not pass for
        // this archive's "config.ini".
        const std::string waitingConfig = gameFolder + kConfigWaitingName;
        if (platform::PathExists(waitingConfig)) {
            platform::SetNormalAttributes(waitingConfig);
            platform::RemoveFile(waitingConfig);
        }

        const auto buffer = std::make_unique<unsigned char[]>(CUnzipFile::kReadBufferSize);
        std::string lastFolder;
        for (bool more = zip.GoToFirstFile(); more; more = zip.GoToNextFile()) {
            UnzipFileInfo info;
            zip.GetCurrentFileInfo(info);
            std::string name = zip.GetCurrentFileName();
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
                char message[1024];
                std::snprintf(message, sizeof message, kCannotOpenFileFormat, destination.c_str());
                ShowErrorText(message);
                askToClose();
                return false;
            }
            case EntryResult::WriteFailed:
                return false;
            }
            zip.ApplyEntryStatus(destination, info);
        }
        zip.Close();
    } catch (const CZipException&) {
        return false;
    } catch (const CFileException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }

    // The archive has given all it holds. It goes before the new config.ini is
    // put in place, so that no step after that one is left for a launcher that
    // is stopped in between.
    platform::RemoveFile(archivePath);
    const std::string config = gameFolder + kConfigIniName;
    const std::string waitingConfig = gameFolder + kConfigWaitingName;
    if (platform::PathExists(config))
        platform::SetNormalAttributes(config);
    // A rename, not a copy and a delete: config.ini changes at one instant, and
    // no "config._ni" can stay behind.
    if (!platform::PathExists(waitingConfig) ||
        !platform::MoveFileReplacing(waitingConfig, config)) {
        ShowErrorText(kConfigErrorText);
        askToClose();
        return false;
    }
    return true;
}

void DiscardArchiveLeftovers(const char* archivePath, const char* gameFolder) {
    platform::RemoveFile(archivePath);
    const std::string waitingConfig = std::string(gameFolder) + kConfigWaitingName;
    if (platform::PathExists(waitingConfig)) {
        platform::SetNormalAttributes(waitingConfig);
        platform::RemoveFile(waitingConfig);
    }
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
