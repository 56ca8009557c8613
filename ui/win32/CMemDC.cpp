#include "ui/win32/CMemDC.h"

namespace tarnvale::ui {

CMemDC::CMemDC(HDC target) : m_target(target) {
    if (!target || ::GetDeviceCaps(target, TECHNOLOGY) == DT_RASPRINTER)
        return; // printing: straight to the target
    ::GetClipBox(target, &m_area);
    const int width = m_area.right - m_area.left;
    const int height = m_area.bottom - m_area.top;
    if (width <= 0 || height <= 0)
        return;
    m_memory = ::CreateCompatibleDC(target);
    if (m_memory)
        m_bitmap.Reset(::CreateCompatibleBitmap(target, width, height));
    if (!m_bitmap) {
        // Without an off-screen bitmap the drawing still happens, only visibly.
        if (m_memory)
            ::DeleteDC(m_memory);
        m_memory = nullptr;
        return;
    }
    m_previousBitmap = ::SelectObject(m_memory, m_bitmap.Get());
    // Callers draw in the target's own coordinates.
    ::SetWindowOrgEx(m_memory, m_area.left, m_area.top, nullptr);
    m_offScreen = true;
}

CMemDC::~CMemDC() {
    if (m_offScreen) {
        ::BitBlt(m_target, m_area.left, m_area.top, m_area.right - m_area.left,
                 m_area.bottom - m_area.top, m_memory, m_area.left, m_area.top, SRCCOPY);
        ::SelectObject(m_memory, m_previousBitmap);
    }
    if (m_memory)
        ::DeleteDC(m_memory);
}

} // namespace tarnvale::ui
