#pragma once

#include "msg/StepResult.h"

#include <atomic>
#include <string>
#include <string_view>

namespace tarnvale {

class LauncherWindow;

// A packed file (".QXC") is one complete bzip2 stream with nothing before or
// after it; the unpacked file's name is the packed file's name without ".QXC".

// A path split the way the system's C library splits it: drive ("C:"), folder
// up to and including the last separator, file name up to its last ".", and the
// extension from that ".".
struct PathParts {
    std::string drive, folder, name, extension;
};
PathParts SplitPathParts(std::string_view path);

// Naming rule. The target folder must end in a separator to count as a folder:
// only its drive and folder are used.
// Unpacking: target's drive and folder + the packed path's file name without its
// last extension ("Temp\Data\Item.bmd.QXC" into "Temp\Data\" gives
// "Temp\Data\Item.bmd").
std::string UnpackedPathFor(std::string_view packedPath, std::string_view targetFolder);
// Packing: target's drive and folder + the source's name and extension + ".QXC".
std::string PackedPathFor(std::string_view sourcePath, std::string_view targetFolder);

// Unpacks `packedPath` into `targetFolder`. The output appears under its name
// only when the whole stream has been unpacked: a stream that is damaged, ends
// before its end-of-stream marker or has bytes after it fails and leaves the
// previous file of that name (if any) as it was. Also fails when the output
// name would be the packed file itself (a packed name without an extension
// unpacked beside itself).
bool UnpackQxcFile(const char* packedPath, const char* targetFolder);

// The window form, for the window's own thread: after each step it dispatches
// one pending window message and moves `fileBar` through the packed file; when
// `stopRequested` is set it discards the output and fails. A failure carries
// message 138 and its cause.
StepResult UnpackQxcFile(const char* packedPath, const char* targetFolder, LauncherWindow& window,
                         const std::atomic<bool>& stopRequested);

// Packs `sourcePath` into `targetFolder` as one bzip2 stream (block size 9, work
// factor 30). The output appears under its name only when complete.
bool PackQxcFile(const char* sourcePath, const char* targetFolder);
// The window form dispatches one pending window message after each chunk.
bool PackQxcFile(const char* sourcePath, const char* targetFolder, LauncherWindow& window);

} // namespace tarnvale
