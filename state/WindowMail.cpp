#include "state/WindowMail.h"

#include <utility>

namespace tarnvale {

WindowMail::WindowMail() : m_windowThread(std::this_thread::get_id()) {}

void WindowMail::Open(std::function<void()> wake) {
    std::lock_guard lock(m_lock);
    m_windowThread = std::this_thread::get_id();
    m_wake = std::move(wake);
    m_closed = false;
    m_notified = !m_letters.empty() && m_wake;
    if (m_notified)
        m_wake();
}

void WindowMail::Close() {
    m_closed = true; // from here on no worker takes the lock
    std::vector<Letter> dropped;
    std::lock_guard lock(m_lock);
    dropped.swap(m_letters); // destroyed after the lock is released
}

bool WindowMail::OnWindowThread() const {
    return m_windowThread.load() == std::this_thread::get_id();
}

void WindowMail::Run(Key key, Task task) {
    if (OnWindowThread()) {
        // A task that asks for more runs it at once, after the earlier letters
        // that are already running.
        if (!m_delivering)
            Deliver();
        if (!m_closed)
            task();
        return;
    }
    if (m_closed)
        return;
    std::lock_guard lock(m_lock);
    if (m_closed)
        return;
    if (!Replace(key, task))
        m_letters.push_back({key, std::move(task)});
    // Posting never waits for the window thread, so it may happen under the lock.
    if (!m_notified && m_wake) {
        m_notified = true;
        m_wake();
    }
}

bool WindowMail::Replace(Key key, Task& task) {
    if (key == kInOrder)
        return false;
    for (auto it = m_letters.rbegin(); it != m_letters.rend() && it->key != kInOrder; ++it) {
        if (it->key == key) {
            it->task = std::move(task);
            return true;
        }
    }
    return false;
}

void WindowMail::Deliver() {
    std::vector<Letter> letters;
    {
        std::lock_guard lock(m_lock);
        if (m_closed || m_letters.empty()) {
            m_notified = false;
            return;
        }
        letters.swap(m_letters);
        // Letters handed over from now on need a notification of their own.
        m_notified = false;
    }
    m_delivering = true;
    for (Letter& letter : letters) {
        if (m_closed)
            break; // a task closed the window: the rest is dropped
        letter.task();
    }
    m_delivering = false;
}

} // namespace tarnvale
