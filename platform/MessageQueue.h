#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// A front-end's message queue: the place to which socket notices and other
// messages are posted, and from which the front-end's thread removes and
// dispatches them one at a time.
//
// On Windows a queue is a message-only window of the calling thread; its handle is
// the HWND, posting is PostMessageA, and dispatching goes through the thread's
// ordinary message loop (so messages of the thread's other windows are dispatched
// too, as the launcher's own loop does). On POSIX it is a thread-safe FIFO that the
// owning thread drains; socket readiness reaches it through the watcher of
// platform/Sockets.h.
//
// Typical use by a front-end:
//
//     platform::MessageQueue queue([&](const platform::QueuedMessage& m) { ... });
//     client.CreateSocket(queue.Handle());          // notices go to this queue
//     while (!queue.QuitRequested())
//         queue.WaitAndDispatchOne(-1);              // or: queue.Run()
//
// and, inside a long step on the same thread, `queue.DispatchOne()` after each
// chunk keeps the front-end responsive.
namespace tarnvale::platform {

// What messages are posted to: an HWND on Windows, a MessageQueue on POSIX. A
// handle whose queue has been destroyed is safe to post to; the post fails.
using NotifyWindow = void*;

struct QueuedMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Posts a message to any notify window from any thread. False when the target no
// longer exists or the message could not be queued.
bool PostNotice(NotifyWindow target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

class MessageQueue {
  public:
    using Handler = std::function<void(const QueuedMessage&)>;

    // The handler runs on the thread that dispatches, for every message posted to
    // this queue's handle. The queue belongs to the constructing thread.
    explicit MessageQueue(Handler handler);
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // The handle to hand to SocketClient::CreateSocket and PostNotice.
    NotifyWindow Handle() const;

    // Thread-safe. False when the message could not be queued.
    bool Post(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // Removes and dispatches one pending message without waiting. False when none
    // was pending. Only on the owning thread.
    bool DispatchOne();
    // Waits until a message is pending (at most timeoutMs; a negative value waits
    // without limit), then dispatches one. False when the time ran out or a quit
    // was requested first.
    bool WaitAndDispatchOne(int timeoutMs);

    // Thread-safe. Asks Run to return `code`; wakes a waiting dispatcher.
    void Quit(int code = 0);
    bool QuitRequested() const;
    // Dispatches messages until Quit is called; returns its code.
    int Run();

    struct Impl; // the operating system's part, defined beside each implementation

  private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarnvale::platform
