#pragma once

// What the toolkit's Windows tests share: drawing surfaces whose pixels read back
// exactly, a plain parent window, and the colours of the generated test bitmaps.
#include <windows.h>

namespace tarnvale::ui::test {

// A memory device context over a 32-bit DIB section, filled with one colour.
class Surface {
  public:
    Surface(int width, int height, COLORREF fill = RGB(1, 2, 3));
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface();

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }
    void Fill(COLORREF colour);
    // Pixels of exactly this colour inside a rectangle.
    int Count(COLORREF colour, const RECT& area) const;

  private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

// The colour of pixel (x, y) of a position-coded test bitmap (skin, small, bar).
inline COLORREF SkinColour(int x, int y) {
    return RGB(x & 0xFF, y & 0xFF, (x >> 8) | ((y >> 8) << 4));
}

// A visible top-level window that routes owner-draw requests to the toolkit's
// buttons, answers WM_GETFONT with Font() and counts paints and erasures.
class ParentWindow {
  public:
    ParentWindow(int width = 400, int height = 300);
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;
    ~ParentWindow();

    HWND Handle() const { return m_window; }
    void SetFont(HFONT font) { m_font = font; }
    int paints = 0;
    int erasures = 0;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window;
    HFONT m_font = nullptr;
};

// Dispatches every pending message of the thread.
void PumpMessages();

// A font without anti-aliasing, so glyph pixels have exactly the text colour.
HFONT CrispFont(int height, int weight = FW_NORMAL);

} // namespace tarnvale::ui::test
