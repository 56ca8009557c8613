#pragma once

#include "ui/win32/GdiObjects.h"

#include <windows.h>

namespace tarnvale::ui {

// An off-screen device context: drawing goes into a memory bitmap the size of the
// target's clip box, in the target's own coordinates, and reaches the target in one
// copy when the object is destroyed. On a printer, or when no off-screen bitmap can
// be made, drawing goes straight to the target.
class CMemDC {
  public:
    explicit CMemDC(HDC target);
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;
    ~CMemDC();

    // Where to draw.
    HDC Get() const { return m_offScreen ? m_memory : m_target; }
    operator HDC() const { return Get(); }
    bool OffScreen() const { return m_offScreen; }
    // The target's clip box at construction, in logical coordinates.
    const RECT& Area() const { return m_area; }

  private:
    GdiBitmap m_bitmap;
    HGDIOBJ m_previousBitmap = nullptr;
    HDC m_target;
    HDC m_memory = nullptr;
    RECT m_area{};
    bool m_offScreen = false;
};

} // namespace tarnvale::ui
