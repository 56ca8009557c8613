#pragma once

#include <string>
#include <vector>

namespace tarnvale {

// An update writes the launcher's executable, its two libraries and the message
// table under waiting names, because the running launcher has them in use:
// "<launcher>._xe", "veymsg._ll", "qx_zp._ll", "message._tf". The next start
// puts them in place before any of them is used.
//
// The next start trusts these files, so only two writers ever make them, and
// each only from checked bytes and as the version's last steps: the archive
// extraction (ArchiveWriteName; with keys the archive was checked against its
// manifest before anything was extracted) and the copy out of the staging
// folder (CopyWriteName; with keys every staged file was checked in the same
// run). No name from the network is ever used as a local path (RoadFiles.h).
struct WaitingCopy {
    std::string waiting; // for example "message._tf"
    std::string target;  // for example "message.wtf"
};
const std::vector<WaitingCopy>& WaitingCopies();

// The name a replaced file is moved aside to: the target's name + ".old".
std::string AsideName(const std::string& target);

struct SelfUpdateResult {
    int installed = 0; // waiting copies now in place under their own names
    int waiting = 0;   // waiting copies that could not be put in place this time
};

// Runs in the game folder at start-up, before the message table is loaded. For
// each waiting copy: the file it replaces is renamed aside (Windows lets a
// running executable be renamed, never overwritten), the copy takes its name,
// and the old file is deleted if it can be; an old executable still running is
// deleted at the following start. A swap that fails half-way renames the old
// file back, so the old files keep working and the copy waits for the next start.
SelfUpdateResult CompleteSelfUpdate();

} // namespace tarnvale
