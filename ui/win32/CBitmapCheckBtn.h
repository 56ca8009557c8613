#pragma once

#include "ui/win32/GdiObjects.h"
#include "ui/win32/OwnerDrawButton.h"

namespace tarnvale::ui {

// A two-picture check box (unchecked, checked) on an owner-drawn button. Its state
// changes only through SetChecked, which paints the window at once; the system's
// draw request paints only once after each successful LoadBitmaps, so an owner
// that needs the picture back later calls SetChecked with the current state.
class CBitmapCheckBtn : public OwnerDrawButton {
  public:
    // Releases both pictures and loads them from bitmap resources. False when either
    // fails (what did load is kept, the first paint is not armed); true arms it.
    BOOL LoadBitmaps(UINT unchecked, UINT checked);
    // Resizes the window to the unchecked picture, keeping its position.
    void SizeToContent();
    // Stores the state and paints the matching picture at once.
    void SetChecked(BOOL checked);
    BOOL IsChecked() const { return m_checked; }
    bool FirstPaintPending() const { return m_firstPaintPending; }

    void DrawItem(const DRAWITEMSTRUCT& item) override;

  private:
    void Paint();

    BOOL m_firstPaintPending = FALSE;
    BOOL m_checked = FALSE;
    GdiBitmap m_unchecked;
    GdiBitmap m_checkedImage;
};

} // namespace tarnvale::ui
