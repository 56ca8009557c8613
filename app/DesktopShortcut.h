#pragma once

#include "platform/Shortcut.h"

#include <string>

namespace tarnvale {

// The folder of a path as the shell's PathRemoveFileSpecA leaves it: the last
// name and the separator before it are cut off, but a root ("C:\", "\") stays
// whole. "\" and "/" both separate.
std::string RemoveFileSpec(const std::string& path);

// Places the launcher's shortcut in `desktopFolder`: its target is `modulePath`
// (the running executable), its working folder the executable's folder, and its
// name "Tarnvale登录器" whatever the executable is called. A shortcut of that name
// is replaced, so it is written again at every start. Failures leave the desktop
// as it was and are not reported: start-up goes on without a shortcut.
void CreateDesktopShortcut(const std::string& modulePath,
                           const std::string& desktopFolder = platform::DesktopFolder());

} // namespace tarnvale
