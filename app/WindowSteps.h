#pragma once

#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/UpdateState.h"

// The parts of the window operations that every front end takes alike; each view
// calls them from its own operation and adds what only it shows.
namespace tarnvale {

// FinishUpdate: the update phase is over. Status text 126, ready to play, no
// connection wanted, the update done, the bars refreshed, the partition view,
// and the connect worker asked to end.
void FinishUpdateSteps(LauncherWindow& window, LauncherState& state, UpdateState& update);

// ResetToConnect, before the Connect button goes: not ready, a connection
// wanted, status text 102.
void ResetToConnectSteps(LauncherWindow& window, const LauncherState& state);

} // namespace tarnvale
