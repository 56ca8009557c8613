#pragma once

#include "ui/ProgressMath.h"
#include "ui/win32/SubclassedWindow.h"

#include <windows.h>

#include <commctrl.h>

namespace tarnvale::ui {

// Messages of the text progress control beyond the system progress bar's own.
inline constexpr UINT TPM_SETTEXTCOLOR = WM_USER + 100; // lParam: colour; returns the old one
inline constexpr UINT TPM_SHOWTEXT = WM_USER + 101;     // wParam: BOOL

// A self-drawn progress bar: a window that answers the progress-bar messages (PBM_*)
// itself and paints a two-colour bar with a centred caption, by default the
// percentage, whose colours swap exactly where the bar passes under the text.
// Vertical bars (PBS_VERTICAL) grow upward and show no caption. Painting goes
// through an off-screen context and never erases, so the bar does not flicker, and
// a position change repaints only when the filled part changes by a pixel.
class CTextProgressCtrl : public SubclassedWindow {
  public:
    // Creates the control as a child window of its own class.
    bool Create(DWORD style, const RECT& rect, HWND parent, int id);

    // Conveniences that send the control's messages; -1 or 0 without a window.
    int SetPos(int position);
    int GetPos() const;
    void SetRange32(int lower, int upper);
    COLORREF SetBarColor(COLORREF color);
    COLORREF SetBkColor(COLORREF color);
    COLORREF SetTextColor(COLORREF color);
    void SetShowText(BOOL show);

    // Paints the whole bar onto a context (WM_PAINT and WM_PRINTCLIENT use it).
    void PaintTo(HDC dc);

    const TextProgressState& State() const { return m_state; }

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // The bar's length along its direction: width, or height for a vertical bar.
    int BarLength() const;
    bool Vertical() const;
    LRESULT MovePosition(int position);
    COLORREF ReplaceColour(COLORREF& field, COLORREF color);

    TextProgressState m_state;
    COLORREF m_textColour = CLR_DEFAULT;
    COLORREF m_barColour = CLR_DEFAULT;
    COLORREF m_backgroundColour = CLR_DEFAULT;
};

} // namespace tarnvale::ui
