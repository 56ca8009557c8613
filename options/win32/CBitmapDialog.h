#pragma once

#include "ui/win32/CDIBitmap.h"
#include "ui/win32/Dialog.h"

#include <windows.h>

namespace tarnvale::options {

// A dialog with a picture for its background: tiled, stretched to the client area
// or centred. Push buttons, and trackbars among the static controls, let the
// picture show through behind them, and on a palette display the picture keeps its
// own colours while the dialog is active and adapts when another window changes the
// palette.
class CBitmapDialog : public ui::Dialog {
  public:
    enum LayoutMode { kTile = 0, kStretch = 1, kCenter = 2 };

    explicit CBitmapDialog(UINT templateId, HWND parent = nullptr);

    // Stores the layout mode and loads the background from a bitmap resource;
    // returns the load's result (FALSE leaves the dialog without a picture).
    BOOL SetBitmap(UINT resourceId, int layoutMode);

    const ui::CDIBitmap& Background() const { return m_background; }
    int LayoutModeValue() const { return m_nLayoutMode; }

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    LRESULT OnEraseBackground(HDC dc);
    // WM_CTLCOLORBTN and WM_CTLCOLORSTATIC: the brush for a control's background.
    LRESULT OnControlColor(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryNewPalette();
    LRESULT OnPaletteChanged(WPARAM wParam, LPARAM lParam);
    // Selects the picture's palette into a client-area context, realises it and
    // repaints when colours changed. Returns the number of colours that changed.
    UINT RealizeBackgroundPalette(bool background);
    bool HasPalette() const;

    ui::CDIBitmap m_background;
    int m_nLayoutMode = kTile;
    HBRUSH m_hollowBrush;
};

} // namespace tarnvale::options
