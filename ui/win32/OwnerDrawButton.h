#pragma once

#include "ui/win32/SubclassedWindow.h"

#include <windows.h>

namespace tarnvale::ui {

// A push button that its object draws (BS_OWNERDRAW). The parent receives the
// system's draw requests; a Dialog of ours routes them here by itself, any other
// parent window calls RouteDrawItem from its WM_DRAWITEM.
class OwnerDrawButton : public SubclassedWindow {
  public:
    // Creates a child button window; BS_OWNERDRAW is added to the style.
    bool Create(const char* text, DWORD style, const RECT& rect, HWND parent, int id);
    // Serves control id of a dialog (its template must make it owner-drawn).
    bool AttachToItem(HWND dialog, int id);

    // Draws the button for the system's request.
    virtual void DrawItem(const DRAWITEMSTRUCT& item) = 0;
};

// Hands a WM_DRAWITEM request (its lParam) to the button object behind the control;
// true when one drew it.
bool RouteDrawItem(LPARAM drawItem);

} // namespace tarnvale::ui
