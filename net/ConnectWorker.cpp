#include "net/ConnectWorker.h"

#include "msg/MessageIds.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tarnvale {

struct ConnectWorker::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;  // RequestStop was called: the window is not touched again
    bool ended = false; // the thread body has returned
};

namespace {

struct WorkerArgs {
    LauncherState& state;
    LauncherWindow& window;
    platform::NotifyWindow notifyWindow;
    int pauseMs;
    ConnectWorker::BoxShower showBox;
    std::shared_ptr<ConnectWorker::Shared> shared;
};

// A socket that cannot be made is reported in the box its failure carries, shown
// on this thread (the attempts wait for the player) and outside the lock.
void ShowBoxOf(const WorkerArgs& args, const StepResult& result) {
    if (result.Box() && args.showBox)
        args.showBox(*result.Box());
}

// Runs `call` on the window unless a stop was asked for. The window's operations
// never wait for the window thread, so holding the lock during the call costs
// nothing; it means that once RequestStop has returned the thread never touches
// the window again, whatever it is blocked in.
template <class Call> bool WithWindow(const WorkerArgs& args, Call call) {
    std::lock_guard<std::mutex> lock(args.shared->mutex);
    if (args.shared->stop)
        return false;
    call(args.window);
    return true;
}

bool StopWanted(const WorkerArgs& args) {
    std::lock_guard<std::mutex> lock(args.shared->mutex);
    return args.shared->stop || args.state.connectWorkerStop != 0;
}

void Pause(const WorkerArgs& args) {
    std::unique_lock<std::mutex> lock(args.shared->mutex);
    args.shared->changed.wait_for(lock, std::chrono::milliseconds(args.pauseMs),
                                  [&] { return args.shared->stop; });
}

void Body(const WorkerArgs& args) {
    LauncherState& state = args.state;
    while (!StopWanted(args)) {
        bool pending = false;
        if (!WithWindow(args, [&](LauncherWindow& w) { pending = w.connectPending; }))
            break;
        if (pending) {
            if (!WithWindow(args, [&](LauncherWindow& w) {
                    w.SetStatusText(state.Text(msgid::kConnecting));
                }))
                break;
            // connectHost is written once before the window exists, so it can be read
            // here without a lock.
            ShowBoxOf(args, state.socketClient.CreateSocket(args.notifyWindow));
            const StepResult connected =
                state.socketClient.Connect(state.connectHost, state.connectPort, kWmSocketNotify);
            ShowBoxOf(args, connected);
            if (connected) {
                // From here on the socket notices drive the protocol.
                WithWindow(args, [](LauncherWindow& w) { w.connectPending = false; });
                break;
            }
            WithWindow(args, [&](LauncherWindow& w) {
                w.SetStatusText(state.Text(msgid::kConnectFailed));
            });
            Pause(args);
            WithWindow(args, [](LauncherWindow& w) { w.ResetToConnect(); });
        }
        Pause(args);
    }
    {
        std::lock_guard<std::mutex> lock(args.shared->mutex);
        args.shared->ended = true;
    }
    args.shared->changed.notify_all();
}

} // namespace

ConnectWorker::ConnectWorker(LauncherState& state, LauncherWindow& window,
                             platform::NotifyWindow notifyWindow, int pauseMs, BoxShower showBox)
    : m_state(state), m_window(window), m_notifyWindow(notifyWindow), m_pauseMs(pauseMs),
      m_showBox(std::move(showBox)) {}

ConnectWorker::~ConnectWorker() {
    RequestStop();
    WaitForEnd(10000);
}

void ConnectWorker::Start() {
    if (m_thread.joinable())
        return;
    m_shared = std::make_shared<Shared>();
    WorkerArgs args{m_state, m_window, m_notifyWindow, m_pauseMs, m_showBox, m_shared};
    m_thread = std::thread([args] { Body(args); });
}

void ConnectWorker::RequestStop() {
    if (!m_shared)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stop = true;
    }
    m_shared->changed.notify_all();
}

bool ConnectWorker::WaitForEnd(int timeoutMs) {
    if (!m_thread.joinable())
        return true;
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    if (m_shared->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return m_shared->ended; })) {
        lock.unlock();
        m_thread.join();
        return true;
    }
    // Still blocked, in practice inside a connection attempt, which nothing
    // portable can cut short (the window of the original ends the thread by
    // force). It no longer touches the window (the stop is set, under this
    // lock), everything else it uses outlives it, and it ends by itself when
    // the attempt returns, or with the process.
    m_shared->stop = true;
    lock.unlock();
    m_thread.detach();
    return false;
}

bool ConnectWorker::Running() const {
    if (!m_thread.joinable())
        return false;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return !m_shared->ended;
}

} // namespace tarnvale
