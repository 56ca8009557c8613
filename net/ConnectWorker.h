#pragma once

#include "msg/MessageBoxRequest.h"
#include "platform/MessageQueue.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"

#include <functional>
#include <memory>
#include <thread>

namespace tarnvale {

// The connect worker: a thread that connects the SocketClient of LauncherState to
// the connect server, shared by the launcher window and the headless launcher.
//
// While the window's `connectPending` is set it makes one attempt after another:
// status text 102, CreateSocket and Connect (which notify `notifyWindow` with
// WM_SOCKET_NOTIFY), and after a failure text 107, a pause, and ResetToConnect.
// Between passes it pauses again. It ends after the first successful connection,
// when LauncherState's `connectWorkerStop` is set, or when RequestStop is called.
class ConnectWorker {
  public:
    static constexpr int kDefaultPauseMs = 500;
    // How the front end shows the box of a socket that cannot be made; called on
    // the worker's thread, which waits until the player has closed it.
    using BoxShower = std::function<void(const MessageBoxRequest&)>;

    ConnectWorker(LauncherState& state, LauncherWindow& window, platform::NotifyWindow notifyWindow,
                  int pauseMs = kDefaultPauseMs, BoxShower showBox = ShowMessageBox);
    // Asks the thread to stop and waits for it as WaitForEnd(10000) does.
    ~ConnectWorker();
    ConnectWorker(const ConnectWorker&) = delete;
    ConnectWorker& operator=(const ConnectWorker&) = delete;

    // Starts the thread; does nothing when it already runs.
    void Start();
    // Makes the thread end at its next pass; a pause in progress ends at once. A
    // connection attempt in progress is not interrupted.
    void RequestStop();
    // Waits at most timeoutMs for the thread to end. True when it has ended.
    // Otherwise it makes no further call on the window and is left to end by
    // itself when its connection attempt returns.
    bool WaitForEnd(int timeoutMs);
    // True while the thread runs.
    bool Running() const;

    struct Shared; // state the thread shares with this object; it outlives both

  private:
    LauncherState& m_state;
    LauncherWindow& m_window;
    platform::NotifyWindow m_notifyWindow;
    int m_pauseMs;
    BoxShower m_showBox;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace tarnvale
