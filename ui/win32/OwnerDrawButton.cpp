#include "ui/win32/OwnerDrawButton.h"

#include "ui/win32/GdiObjects.h"

namespace tarnvale::ui {

bool OwnerDrawButton::Create(const char* text, DWORD style, const RECT& rect, HWND parent, int id) {
    if (HasWindow())
        return false;
    HWND window = ::CreateWindowExA(0, "BUTTON", text ? text : "", style | BS_OWNERDRAW, rect.left,
                                    rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                    parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    ResourceModule(), nullptr);
    if (!window)
        return false;
    if (!Attach(window)) {
        ::DestroyWindow(window);
        return false;
    }
    OwnWindow();
    return true;
}

bool OwnerDrawButton::AttachToItem(HWND dialog, int id) {
    return Attach(::GetDlgItem(dialog, id));
}

bool RouteDrawItem(LPARAM drawItem) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
    if (!item || item->CtlType != ODT_BUTTON)
        return false;
    auto* button = dynamic_cast<OwnerDrawButton*>(SubclassedWindow::FromHandle(item->hwndItem));
    if (!button)
        return false;
    button->DrawItem(*item);
    return true;
}

} // namespace tarnvale::ui
