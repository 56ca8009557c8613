#pragma once

#include <string>

// Shortcuts that start a program: a shell link (".lnk") on Windows, a desktop
// entry (".desktop") on POSIX. Paths are byte strings in the system's code page.
namespace tarnvale::platform {

// The current user's desktop folder, without a trailing separator; empty when the
// system cannot tell. Windows: the shell's desktop folder (CSIDL_DESKTOP). POSIX:
// XDG_DESKTOP_DIR when set, otherwise the "Desktop" folder in HOME.
std::string DesktopFolder();

// The file name of a shortcut called `name`: "name.lnk" on Windows, "name.desktop"
// on POSIX.
std::string ShortcutFileName(const std::string& name);

// Writes the shortcut file `linkPath`, which starts `target` with `workingFolder`
// as its current directory and nothing else set; a file of that name is replaced.
// False when it could not be written (then nothing was replaced on POSIX; Windows
// leaves that to the shell).
bool WriteShortcut(const std::string& linkPath, const std::string& target,
                   const std::string& workingFolder);

// Reads a shortcut's target and working folder back. False when `linkPath` holds
// no readable shortcut.
bool ReadShortcut(const std::string& linkPath, std::string& target, std::string& workingFolder);

} // namespace tarnvale::platform
