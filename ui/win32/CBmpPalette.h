#pragma once

#include "ui/win32/GdiObjects.h"

#include <windows.h>

namespace tarnvale::ui {

class CDIBitmap;

// A logical palette made from a picture's colour table, so that pictures of 8 bits
// per pixel or fewer show their own colours on palette displays.
class CBmpPalette {
  public:
    explicit CBmpPalette(const CDIBitmap& picture);

    HPALETTE Handle() const { return m_palette.Get(); }
    // Entries of the palette; 0 when it could not be made.
    int Size() const;

  private:
    GdiPalette m_palette;
};

} // namespace tarnvale::ui
