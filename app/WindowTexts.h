#pragma once

#include "state/LauncherState.h"

#include <string>

// The texts and checks of the launcher window that need no window: what its
// title line, its percentages and its links show, and whether the game has its
// settings file.
namespace tarnvale {

// The title line of the progress view: "『name』" with the chosen partition's
// name, or "『Tarnvale』" while it has none (brackets in code page 936).
std::string ProgressTitle(const LauncherState& state);

// The percentage text of a bar ("%d%%" of ProgressPercent), or empty outside the
// progress view.
std::string PercentText(int pos, int range, bool progressView);

// The message text a link command opens, or 0 for any other command. Links 1 and
// 3 open the same text.
int LinkTextId(int command);

// Whether the game's "config.ini" (ConfigIniPath) exists and can be opened for
// reading.
bool IsConfigPresent(const std::string& gameFolder);

} // namespace tarnvale
