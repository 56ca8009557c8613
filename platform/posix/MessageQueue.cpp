#include "platform/MessageQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_set>

namespace tarnvale::platform {

struct MessageQueue::Impl {
    Handler handler;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<QueuedMessage> messages;
    bool quit = false;
    int quitCode = 0;

    void Push(const QueuedMessage& message) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            messages.push_back(message);
        }
        arrived.notify_one();
    }
};

namespace {

// The queues that exist. A handle is only a pointer, and notices may be posted to
// it by other threads (the socket watcher, a connect worker) after its owner has
// gone, as a window handle may outlive its window; posting checks membership here
// under the same lock that destruction takes. Never destroyed, so that threads still
// running at process exit find it intact.
struct Registry {
    std::mutex mutex;
    std::unordered_set<void*> live;
};
Registry& Queues() {
    static Registry* registry = new Registry;
    return *registry;
}

} // namespace

bool PostNotice(NotifyWindow target, unsigned message, std::uintptr_t wParam,
                std::intptr_t lParam) {
    Registry& registry = Queues();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (target == nullptr || registry.live.count(target) == 0)
        return false;
    static_cast<MessageQueue::Impl*>(target)->Push({message, wParam, lParam});
    return true;
}

MessageQueue::MessageQueue(Handler handler) : m_impl(std::make_unique<Impl>()) {
    m_impl->handler = std::move(handler);
    Registry& registry = Queues();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.insert(m_impl.get());
}

MessageQueue::~MessageQueue() {
    Registry& registry = Queues();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.live.erase(m_impl.get());
}

NotifyWindow MessageQueue::Handle() const {
    return m_impl.get();
}

bool MessageQueue::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    m_impl->Push({message, wParam, lParam});
    return true;
}

bool MessageQueue::DispatchOne() {
    QueuedMessage message;
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        if (m_impl->messages.empty())
            return false;
        message = m_impl->messages.front();
        m_impl->messages.pop_front();
    }
    // The handler runs without the lock, so it may post to this queue itself.
    if (m_impl->handler)
        m_impl->handler(message);
    return true;
}

bool MessageQueue::WaitAndDispatchOne(int timeoutMs) {
    {
        std::unique_lock<std::mutex> lock(m_impl->mutex);
        auto ready = [this] { return m_impl->quit || !m_impl->messages.empty(); };
        if (timeoutMs < 0)
            m_impl->arrived.wait(lock, ready);
        else if (!m_impl->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return false;
        if (m_impl->quit)
            return false;
    }
    return DispatchOne();
}

void MessageQueue::Quit(int code) {
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        m_impl->quit = true;
        m_impl->quitCode = code;
    }
    m_impl->arrived.notify_all();
}

bool MessageQueue::QuitRequested() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->quit;
}

int MessageQueue::Run() {
    while (!QuitRequested())
        WaitAndDispatchOne(-1);
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->quitCode;
}

} // namespace tarnvale::platform
