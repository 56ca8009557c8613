#include "app/WindowSteps.h"

#include "msg/MessageIds.h"

namespace tarnvale {

void FinishUpdateSteps(LauncherWindow& window, LauncherState& state, UpdateState& update) {
    window.SetStatusText(state.Text(msgid::kReadyToChoose));
    window.readyToPlay = true;
    window.connectPending = false;
    update.updateDone = true;
    window.RefreshProgress();
    window.ShowPartitionView();
    state.connectWorkerStop = 1;
}

void ResetToConnectSteps(LauncherWindow& window, const LauncherState& state) {
    window.readyToPlay = false;
    window.connectPending = true;
    window.SetStatusText(state.Text(msgid::kConnecting));
}

} // namespace tarnvale
