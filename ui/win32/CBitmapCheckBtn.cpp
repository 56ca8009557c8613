#include "ui/win32/CBitmapCheckBtn.h"

namespace tarnvale::ui {

BOOL CBitmapCheckBtn::LoadBitmaps(UINT unchecked, UINT checked) {
    m_unchecked.Reset(LoadBitmapResource(unchecked));
    m_checkedImage.Reset(LoadBitmapResource(checked));
    if (!m_unchecked || !m_checkedImage)
        return FALSE;
    m_firstPaintPending = TRUE;
    return TRUE;
}

void CBitmapCheckBtn::SizeToContent() {
    SIZE size;
    if (HasWindow() && BitmapSize(m_unchecked.Get(), size))
        ::SetWindowPos(Handle(), nullptr, -1, -1, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

void CBitmapCheckBtn::SetChecked(BOOL checked) {
    m_checked = checked;
    Paint();
}

void CBitmapCheckBtn::DrawItem(const DRAWITEMSTRUCT&) {
    if (!m_firstPaintPending)
        return;
    m_firstPaintPending = FALSE;
    Paint();
}

void CBitmapCheckBtn::Paint() {
    HBITMAP image = m_checked ? m_checkedImage.Get() : m_unchecked.Get();
    if (!HasWindow())
        return;
    HDC dc = ::GetDC(Handle());
    {
        MemoryDC memory(dc);
        // Both pictures are meant to have the unchecked one's size; without it, the
        // picture's own size serves.
        SIZE size;
        if (memory.Select(image) &&
            (BitmapSize(m_unchecked.Get(), size) || BitmapSize(image, size)))
            ::BitBlt(dc, 0, 0, size.cx, size.cy, memory.Get(), 0, 0, SRCCOPY);
    }
    ::ReleaseDC(Handle(), dc);
}

} // namespace tarnvale::ui
