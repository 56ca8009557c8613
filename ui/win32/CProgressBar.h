#pragma once

#include "ui/win32/GdiObjects.h"

#include <windows.h>

namespace tarnvale::ui {

// A bitmap progress bar that is not a window: it lives in its owner's client area,
// draws the left part of its picture in proportion to the position and invalidates
// only its own rectangle when the position changes. The owner calls Draw from its
// paint handler.
class CProgressBar {
  public:
    virtual ~CProgressBar() = default;

    // Loads the picture (bitmap resource) and places the bar. FALSE when the picture
    // is missing or there is no owner; a picture that loaded is kept then, but the
    // bar stays where it was.
    BOOL Initialize(UINT bitmapId, int left, int top, HWND owner);
    // The range is at least 1; no repaint.
    void SetRange(int range);
    // Clamps to 0..range, stores and invalidates the bar's rectangle in the owner
    // (without erasing).
    void SetPos(int position);
    void Draw(HDC dc) const;

    int Range() const { return m_range; }
    int Pos() const { return m_position; }
    RECT Bounds() const { return {m_left, m_top, m_left + m_width, m_top + m_height}; }

  private:
    GdiBitmap m_image;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    HWND m_owner = nullptr;
    int m_position = 0;
    int m_range = 1;
};

} // namespace tarnvale::ui
