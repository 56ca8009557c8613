#pragma once

#include "msg/MessageBoxRequest.h"
#include "state/LauncherState.h"

#include <string>

namespace tarnvale {

// The error box: message text `id` with the error icon, captioned with the
// application's name and owned by the main window if there is one.
MessageBoxRequest ErrorBox(const LauncherState& state, int id);
// Shows it, for the front end.
void ShowErrorBox(const LauncherState& state, int id);

// printf-style text (under 1024 bytes) in a plain box with no owner and no icon,
// captioned with message text 128.
[[gnu::format(printf, 2, 3)]] MessageBoxRequest FormattedMessage(const LauncherState& state,
                                                                 const char* format, ...);

// The executable's file name without path and extension.
std::string ApplicationName();

} // namespace tarnvale
