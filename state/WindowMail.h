#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnvale {

// The notification a front end's queue receives when letters wait (WM_APP + 1).
inline constexpr unsigned kWmWindowMail = 0x8001;

// The one way in which threads reach the launcher window. A worker never waits
// for the window thread: it hands over what the window should do and the window
// thread does it when the one notification that the mail posts arrives. On the
// window thread itself an operation runs at once, after whatever workers left
// before it, so that the order in which things were asked for is kept.
//
// Reports that only replace what the window shows (the status line, the title
// line, the bars) carry a key: a report replaces an earlier one with the same key
// that is still waiting, unless a task without a key was left after it. A flood of
// reports therefore costs the window thread one notification and one repaint, not
// one per report.
class WindowMail {
  public:
    using Task = std::function<void()>;
    enum Key : int { kInOrder = 0, kStatusLine, kTitleLine, kProgress, kTransfer };

    // The constructing thread is the window thread until Open says otherwise;
    // what other threads hand over before Open waits for it.
    WindowMail();
    // From now on the calling thread is the window thread. `wake` posts the
    // notification to it (from any thread; it must not wait); the window thread
    // then calls Deliver.
    void Open(std::function<void()> wake);
    // The window is closing: what waits is dropped, and nothing handed over later
    // is carried out. Only on the window thread.
    void Close();

    // Runs `task` on the window thread: at once on it, otherwise when the
    // notification is handled. Dropped once the mail is closed.
    void Run(Key key, Task task);
    // Carries out everything handed over so far. Only on the window thread.
    void Deliver();
    // Whether the calling thread is the window thread.
    bool OnWindowThread() const;

  private:
    struct Letter {
        Key key;
        Task task;
    };

    // Puts `task` in place of a waiting letter with the same key, if one waits
    // after the last letter without a key. Under the lock.
    bool Replace(Key key, Task& task);

    // The thread and the closing are read without the lock: a flood of reports
    // from workers must not keep the window thread waiting for it, least of all
    // when the window closes.
    std::atomic<std::thread::id> m_windowThread;
    std::atomic<bool> m_closed{false};
    std::mutex m_lock;
    bool m_notified = false;   // a notification is on its way: no other is posted
    bool m_delivering = false; // the window thread is in Deliver (its own variable)
    std::function<void()> m_wake;
    std::vector<Letter> m_letters;
};

} // namespace tarnvale
