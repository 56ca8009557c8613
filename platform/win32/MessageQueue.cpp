#include "platform/MessageQueue.h"

#include <windows.h>

#include <atomic>

namespace tarnvale::platform {

// A message-only window of the constructing thread. Messages posted to it are
// dispatched by the thread's ordinary message loop to WindowProc, which hands them
// to the queue's handler.
struct MessageQueue::Impl {
    Handler handler;
    HWND window = nullptr;
    std::atomic<bool> quit{false};
    std::atomic<int> quitCode{0};
};

namespace {

constexpr char kClassName[] = "TarnvaleMessageQueue";
// Posted by Quit only to wake a waiting dispatcher; the flag carries the request.
constexpr UINT kWakeMessage = WM_APP + 0x3FFF;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<MessageQueue::Impl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (impl != nullptr && message >= WM_USER && message != kWakeMessage) {
        if (impl->handler)
            impl->handler(
                {message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam)});
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClassOnce(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

} // namespace

bool PostNotice(NotifyWindow target, unsigned message, std::uintptr_t wParam,
                std::intptr_t lParam) {
    return target != nullptr &&
           ::PostMessageA(static_cast<HWND>(target), message, static_cast<WPARAM>(wParam),
                          static_cast<LPARAM>(lParam)) != FALSE;
}

MessageQueue::MessageQueue(Handler handler) : m_impl(std::make_unique<Impl>()) {
    m_impl->handler = std::move(handler);
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    RegisterClassOnce(instance);
    m_impl->window = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       instance, m_impl.get());
}

MessageQueue::~MessageQueue() {
    if (m_impl->window != nullptr) {
        ::SetWindowLongPtrA(m_impl->window, GWLP_USERDATA, 0);
        ::DestroyWindow(m_impl->window);
    }
}

NotifyWindow MessageQueue::Handle() const {
    return m_impl->window;
}

bool MessageQueue::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostNotice(m_impl->window, message, wParam, lParam);
}

bool MessageQueue::DispatchOne() {
    MSG message;
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        Quit(static_cast<int>(message.wParam));
        return true;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    return true;
}

bool MessageQueue::WaitAndDispatchOne(int timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (QuitRequested())
            return false;
        if (DispatchOne())
            return true;
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            const ULONGLONG elapsed = ::GetTickCount64() - start;
            if (elapsed >= static_cast<ULONGLONG>(timeoutMs))
                return false;
            wait = static_cast<DWORD>(static_cast<ULONGLONG>(timeoutMs) - elapsed);
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void MessageQueue::Quit(int code) {
    m_impl->quitCode = code;
    m_impl->quit = true;
    ::PostMessageA(m_impl->window, kWakeMessage, 0, 0);
}

bool MessageQueue::QuitRequested() const {
    return m_impl->quit;
}

int MessageQueue::Run() {
    while (!QuitRequested())
        WaitAndDispatchOne(-1);
    return m_impl->quitCode;
}

} // namespace tarnvale::platform
