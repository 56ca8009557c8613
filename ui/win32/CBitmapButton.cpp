#include "ui/win32/CBitmapButton.h"

#include "ui/ButtonRules.h"

namespace tarnvale::ui {

BOOL CBitmapButton::LoadBitmaps(UINT normal, UINT pressed, UINT focused, UINT disabled) {
    bool allLoaded = true;
    auto load = [&allLoaded](GdiBitmap& slot, UINT id) {
        slot.Reset(LoadBitmapResource(id));
        if (id && !slot)
            allLoaded = false;
    };
    load(m_normal, normal);
    load(m_pressed, pressed);
    load(m_focused, focused);
    load(m_disabled, disabled);
    return allLoaded ? TRUE : FALSE;
}

void CBitmapButton::SizeToContent() {
    SIZE size;
    if (HasWindow() && BitmapSize(m_normal.Get(), size))
        ::SetWindowPos(Handle(), nullptr, -1, -1, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

void CBitmapButton::DrawItem(const DRAWITEMSTRUCT& item) {
    DrawImage(item.hDC, item.rcItem, item.itemState);
}

HBITMAP CBitmapButton::ImageFor(UINT itemState) const {
    switch (ChooseButtonImage(itemState, bool(m_pressed), bool(m_focused), bool(m_disabled))) {
    case ButtonImage::Pressed:
        return m_pressed.Get();
    case ButtonImage::Focused:
        return m_focused.Get();
    case ButtonImage::Disabled:
        return m_disabled.Get();
    case ButtonImage::Normal:
    default:
        return m_normal.Get();
    }
}

bool CBitmapButton::DrawImage(HDC dc, const RECT& rect, UINT itemState) const {
    MemoryDC memory(dc);
    if (!memory.Select(ImageFor(itemState)))
        return false;
    ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory.Get(),
             0, 0, SRCCOPY);
    return true;
}

} // namespace tarnvale::ui
