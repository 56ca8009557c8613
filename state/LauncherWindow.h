#pragma once

#include "msg/MessageBoxRequest.h"
#include "msg/StepResult.h"
#include "ui/ProgressMath.h"

#include <atomic>
#include <functional>

namespace tarnvale {

// One of the window's two bitmap bars: a position within a range. Workers change
// it, then ask the window to RefreshProgress. The range is at least 1; a position
// is clamped to the range when it is set (a later, smaller range leaves it as is).
class ProgressBar {
  public:
    void SetRange(int range) { m_range.store(ui::BitmapBarRange(range)); }
    void SetPos(int pos) { m_pos.store(ui::BitmapBarPosition(pos, GetRange())); }
    int GetRange() const { return m_range.load(); }
    int GetPos() const { return m_pos.load(); }

  private:
    std::atomic<int> m_range{1};
    std::atomic<int> m_pos{0};
};

// The percentage a bar shows: trunc(max(pos, 1) / max(range, 1) * 100).
int ProgressPercent(int pos, int range);

// The launcher window as the connect-server protocol and the update roads see it.
// The Windows window implements it with its skinned dialog, the headless launcher
// with a console view; tests record the calls.
//
// Any thread may call the operations, and none waits for the window: called on
// the window thread an operation shows its effect at once; called from a worker
// it is handed to the window thread (WindowMail) and carried out there soon
// after. The bars and the flags below are plain shared state that a worker
// changes before it asks for a refresh.
class LauncherWindow {
  public:
    virtual ~LauncherWindow() = default;

    virtual void SetStatusText(const char* text) = 0;
    virtual void SetTitleText(const char* text) = 0;
    virtual void RefreshProgress() = 0;
    virtual void FinishUpdate() = 0;
    virtual void ResetToConnect() = 0;
    virtual void ShowProgressView() = 0;
    virtual void ShowPartitionView() = 0;
    // Shows and enables the Connect button (after an update could not start).
    virtual void ShowConnectButton() = 0;
    // Runs `task` on the window thread: at once there, otherwise soon after, and
    // not at all once the window is closing. For what may only happen there (the
    // hand-over to the game after a new launcher was installed).
    virtual void RunOnWindowThread(std::function<void()> task) { task(); }
    // Removes and dispatches one pending window message, so the window stays
    // responsive while a long step runs on its thread. False when none was pending.
    virtual bool PumpMessage() = 0;
    // Bytes of the current file so far and its size (0 when unknown), for views
    // that show speed and time left. The bars remain the primary progress report.
    virtual void ReportTransfer(unsigned long long /*done*/, unsigned long long /*total*/) {}
    // A download goes on where an earlier try stopped: `from` bytes of `total`
    // were there already, and the bars start from them.
    virtual void ReportResume(unsigned long long /*from*/, unsigned long long /*total*/) {}
    // Shows a message box that a lower layer handed up, on the calling thread,
    // and returns when the player has closed it.
    virtual void ShowMessage(const MessageBoxRequest& box) { ShowMessageBox(box); }
    // An update road has failed. Its message is already in the status line, as
    // the player sees it; `failure` also says what went wrong in the platform's
    // words. The Windows window shows only the message; the headless launcher
    // prints both. Called once per failed road, possibly from a worker thread.
    virtual void ReportFailure(const StepResult& /*failure*/) {}

    ProgressBar totalBar; // versions or files of the update
    ProgressBar fileBar;  // the current file, 0 to 100
    std::atomic<bool> readyToPlay{false};
    std::atomic<bool> connectPending{true};
};

} // namespace tarnvale
