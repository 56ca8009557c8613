#pragma once

#include "state/LauncherState.h"

#include <string>

namespace tarnvale {

// The error box: message text `id` with the error icon, captioned with the
// application's name and owned by the main window if there is one.
void ShowErrorBox(const LauncherState& state, int id);

// printf-style text (under 1024 bytes) in a plain box with no owner and no icon,
// captioned with message text 128.
[[gnu::format(printf, 2, 3)]] void FormattedMessageBox(const LauncherState& state,
                                                       const char* format, ...);

// The executable's file name without path and extension.
std::string ApplicationName();

} // namespace tarnvale
