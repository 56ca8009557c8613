#include "ui/win32/SubclassedWindow.h"

namespace tarnvale::ui {
namespace {

// The window property that leads from a window to the object serving it.
constexpr char kObjectProperty[] = "TarnvaleWindowObject";

} // namespace

SubclassedWindow::~SubclassedWindow() {
    if (m_window && m_ownsWindow)
        ::DestroyWindow(m_window);
    // A window of another thread cannot be destroyed from here; it must at least
    // stop calling into this object.
    if (m_window)
        Detach();
}

bool SubclassedWindow::Attach(HWND window) {
    if (m_window || !::IsWindow(window) || FromHandle(window))
        return false;
    if (!::SetPropA(window, kObjectProperty, this))
        return false;
    m_window = window;
    m_ownsWindow = false;
    m_previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    return true;
}

HWND SubclassedWindow::Detach() {
    HWND window = m_window;
    if (!window)
        return nullptr;
    if (::GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure))
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
    ::RemovePropA(window, kObjectProperty);
    m_window = nullptr;
    m_ownsWindow = false;
    return window;
}

SubclassedWindow* SubclassedWindow::FromHandle(HWND window) {
    return window ? static_cast<SubclassedWindow*>(::GetPropA(window, kObjectProperty)) : nullptr;
}

LRESULT SubclassedWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT SubclassedWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcA(m_previous, m_window, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    SubclassedWindow* self = FromHandle(window);
    if (!self)
        return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The last message of the window: unbind first, so nothing reaches the
        // object once the window is gone.
        WNDPROC previous = self->m_previous;
        self->Detach();
        return ::CallWindowProcA(previous, window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

} // namespace tarnvale::ui
