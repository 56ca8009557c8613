#pragma once

#include <windows.h>

namespace tarnvale::ui {

// A window served by an object of ours. The object replaces the window's procedure
// (subclassing), so its HandleMessage sees every message first and passes what it
// does not handle on to the procedure the window had before. This is the one
// mechanism behind the dialogs, the owner-drawn buttons and the text progress
// control: no class registry, no message-map macros, just a virtual function.
//
// The binding ends when the window is destroyed (WM_NCDESTROY) or when the object
// goes away, whichever comes first. An object destroys only a window it created
// itself; a window it merely attached to (a control of a dialog template) is left
// to its parent.
class SubclassedWindow {
  public:
    SubclassedWindow() = default;
    SubclassedWindow(const SubclassedWindow&) = delete;
    SubclassedWindow& operator=(const SubclassedWindow&) = delete;
    virtual ~SubclassedWindow();

    // The window this object serves; null before Attach or Create, and again after
    // the window was destroyed.
    HWND Handle() const { return m_window; }
    bool HasWindow() const { return m_window != nullptr; }

    // Serves an existing window. Fails when this object already serves one, when the
    // window does not exist or when another object serves it.
    bool Attach(HWND window);
    // Gives the window back its previous procedure and returns it.
    HWND Detach();

    // The object that serves a window, or null.
    static SubclassedWindow* FromHandle(HWND window);

  protected:
    // Every message of the window. Overrides handle what they want and return
    // SubclassedWindow::HandleMessage (or their base's) for the rest.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's previous procedure: what the system or the control class would do.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // Marks the served window as created by this object, so the object destroys it.
    void OwnWindow() { m_ownsWindow = true; }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    WNDPROC m_previous = nullptr;
    bool m_ownsWindow = false;
};

} // namespace tarnvale::ui
