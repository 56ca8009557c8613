#pragma once

#include "msg/StepResult.h"

#include <string>

namespace tarnvale {

class LauncherWindow;
struct UpdateState;

// Putting a staged version in place. All paths are relative to the current
// directory, the game folder; the staging folder is kStagingFolder ("Temp").
// A failure returns message 138 with what went wrong (the file, the system's
// error, the archive entry and its cause).

// Support files are never written under their own names while the launcher
// runs (they may be in use); they wait under another name until the next start
// (see SelfUpdate.h). For an archive the whole entry name is compared, so only
// top-level entries are renamed; the result is the name to write, or `name`
// unchanged. "config.ini" becomes "config._ni".
std::string ArchiveWriteName(const std::string& name);

// The error box for an archive entry that cannot be created shows the file's
// path followed by the developer's "파일을 열수가 없습니다" ("cannot open the
// file"), in code page 949.
inline constexpr char kCannotOpenFileText[] =
    "\xc6\xc4\xc0\xcf\xc0\xbb \xbf\xad\xbc\xf6\xb0\xa1 \xbe\xf8\xbd\xc0\xb4\xcf\xb4\xd9";

// For a file-by-file copy only the file name and extension of the staged path
// count, and a renamed support file lands at the game folder's top level.
// `destination` is the path relative to the game folder; `selfUpdate` is set
// for the launcher's own executable. "config.ini" keeps its name here.
struct CopyDestination {
    std::string destination;
    bool selfUpdate = false;
};
CopyDestination CopyWriteName(const std::string& stagedPath);

// Copies every file the journal lists from "Temp" into the game folder,
// dispatching one window message per line. A copy that fails fails with the box
// "Patch Install Error, File : %s (%d)"; a journal name that would
// leave the game folder fails without copying anything more. Sets
// `selfUpdatePending` when the launcher's own executable is among the files.
StepResult CopyFromTemp(UpdateState& update, LauncherWindow& window);

// Retires the journal, then deletes the files it lists from "Temp"; the caller
// has copied them into place. A file that cannot be deleted is left for the
// clean-up at game start; a journal that cannot be deleted, or one that names a
// path outside the game folder, is kept with every staged file. False only when
// the journal cannot be opened.
StepResult DeleteTempFiles(LauncherWindow& window);

// Unpacks a version archive into `gameFolder` (which ends in a separator).
// Every entry name is checked first: an archive with a name outside the game
// folder, an unsupported or encrypted entry, or a damaged directory is refused
// before anything is written. A damaged entry found while writing fails the
// extraction; that entry is not left in place. Entries already written stay
// (the version is then reinstalled on the next attempt). When a file cannot be
// created, or the archive brings no top-level "config.ini", the failure carries
// an error box; once the player has confirmed it, the window is to be asked to
// close (the road does both). On success the archive is gone and "config._ni"
// has been renamed over "config.ini", the last step: the new version is
// recorded only when everything else is in place, and nothing of the
// extraction is left behind.
StepResult ExtractUpdateArchive(const char* archivePath, const char* gameFolder);

// After a packed version failed: removes its downloaded archive and the
// "config._ni" its extraction may have written, so that nothing of the failed
// version stays behind (a retry on a nearly full disk would otherwise fail
// sooner). `gameFolder` ends in a separator.
void DiscardArchiveLeftovers(const char* archivePath, const char* gameFolder);

// Removes "Temp" with everything in it; failures are silent.
void CleanTempFolder();

// Whether any of the probe files that call for the wholesale delete exists.
bool AnyProbeFilePresent();

// Deletes the files of the kinds *.dat *.bmd *.txt *.OZJ *.OZT *.wav *.att
// *.obj *.map from the game folder's top level (extensions compared without
// regard to case), read-only ones included; hidden and system files and all
// folders are left alone. Returns the number of files deleted.
int RunWholesaleDelete();

} // namespace tarnvale
