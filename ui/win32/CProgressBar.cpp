#include "ui/win32/CProgressBar.h"

#include "ui/ProgressMath.h"

namespace tarnvale::ui {

BOOL CProgressBar::Initialize(UINT bitmapId, int left, int top, HWND owner) {
    m_image.Reset(LoadBitmapResource(bitmapId));
    SIZE size;
    if (!m_image || !owner || !BitmapSize(m_image.Get(), size))
        return FALSE;
    m_width = size.cx;
    m_height = size.cy;
    m_left = left;
    m_top = top;
    m_owner = owner;
    return TRUE;
}

void CProgressBar::SetRange(int range) {
    m_range = BitmapBarRange(range);
}

void CProgressBar::SetPos(int position) {
    m_position = BitmapBarPosition(position, m_range);
    if (m_owner) {
        const RECT bounds = Bounds();
        ::InvalidateRect(m_owner, &bounds, FALSE);
    }
}

void CProgressBar::Draw(HDC dc) const {
    MemoryDC memory(dc);
    if (!memory.Select(m_image.Get()))
        return;
    // Only the left part is drawn; the owner's background shows to its right.
    ::BitBlt(dc, m_left, m_top, BitmapBarFilledWidth(m_position, m_range, m_width), m_height,
             memory.Get(), 0, 0, SRCCOPY);
}

} // namespace tarnvale::ui
