#include "net/ConnectWorker.h"

#include "msg/MessageIds.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tarnvale {

struct ConnectWorker::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;  // RequestStop was called
    bool ended = false; // the thread body has returned

    // Every call on the window counts itself here and looks at `cutOff` first.
    // WaitForEnd sets `cutOff` and then waits for the count to reach zero, so
    // once it returns the thread never touches the window again.
    std::atomic<bool> cutOff{false};
    std::atomic<int> windowCalls{0};
};

namespace {

struct WorkerArgs {
    LauncherState& state;
    LauncherWindow& window;
    platform::NotifyWindow notifyWindow;
    int pauseMs;
    std::shared_ptr<ConnectWorker::Shared> shared;
};

// Runs `call` on the window unless the worker has been cut off from it.
template <class Call> bool WithWindow(const WorkerArgs& args, Call call) {
    ConnectWorker::Shared& shared = *args.shared;
    ++shared.windowCalls;
    const bool reachable = !shared.cutOff;
    if (reachable)
        call(args.window);
    --shared.windowCalls;
    return reachable;
}

bool StopWanted(const WorkerArgs& args) {
    std::lock_guard<std::mutex> lock(args.shared->mutex);
    return args.shared->stop || args.shared->cutOff || args.state.connectWorkerStop != 0;
}

void Pause(const WorkerArgs& args) {
    std::unique_lock<std::mutex> lock(args.shared->mutex);
    args.shared->changed.wait_for(lock, std::chrono::milliseconds(args.pauseMs),
                                  [&] { return args.shared->stop || args.shared->cutOff; });
}

void Body(const WorkerArgs& args) {
    LauncherState& state = args.state;
    while (!StopWanted(args)) {
        bool pending = false;
        if (!WithWindow(args, [&](LauncherWindow& w) { pending = w.connectPending; }))
            break;
        if (pending) {
            if (!WithWindow(
                    args,
                    [&](LauncherWindow& w) { w.SetStatusText(state.Text(msgid::kConnecting)); }) ||
                StopWanted(args))
                break;
            // connectHost is written once before the window exists, so it can be read
            // here without a lock.
            state.socketClient.CreateSocket(args.notifyWindow);
            if (state.socketClient.Connect(state.connectHost, state.connectPort, kWmSocketNotify)) {
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
                             platform::NotifyWindow notifyWindow, int pauseMs)
    : m_state(state), m_window(window), m_notifyWindow(notifyWindow), m_pauseMs(pauseMs) {}

ConnectWorker::~ConnectWorker() {
    RequestStop();
    WaitForEnd(10000);
}

void ConnectWorker::Start() {
    if (m_thread.joinable())
        return;
    m_shared = std::make_shared<Shared>();
    WorkerArgs args{m_state, m_window, m_notifyWindow, m_pauseMs, m_shared};
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

bool ConnectWorker::WaitForEnd(int timeoutMs, const std::function<void()>& pump) {
    if (!m_thread.joinable())
        return true;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto slice = std::chrono::milliseconds(pump ? 10 : 100);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_shared->mutex);
            const auto until = std::min(deadline, Clock::now() + slice);
            if (m_shared->changed.wait_until(lock, until, [&] { return m_shared->ended; })) {
                lock.unlock();
                m_thread.join();
                return true;
            }
        }
        if (Clock::now() >= deadline)
            break;
        if (pump)
            pump();
    }
    // Still blocked, in practice inside a connection attempt. Cut the thread off
    // from the window, let any call on it in progress finish, and leave the thread
    // to end by itself; everything it still uses outlives it.
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->cutOff = true;
    }
    m_shared->changed.notify_all();
    while (m_shared->windowCalls != 0) {
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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
