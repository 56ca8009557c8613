#pragma once

#include "state/LauncherState.h"

#include <string_view>

namespace tarnvale {

// Evaluates the launcher's switches: "/t" test mode, "/r" normal mode and
// "/l a.b.c" local-version override. Only the first word decides, without regard
// to case; anything else leaves the state as it is.
void ApplyCommandLine(std::string_view commandLine, LauncherState& state);

} // namespace tarnvale
