#pragma once

#include "ui/win32/GdiObjects.h"
#include "ui/win32/OwnerDrawButton.h"

namespace tarnvale::ui {

// An owner-drawn push button with up to four pictures: normal, pressed, focused and
// disabled. A missing picture falls back to the next rule of ChooseButtonImage and
// finally to the normal one; without a normal picture nothing is drawn. There is no
// hover state.
class CBitmapButton : public OwnerDrawButton {
  public:
    // Loads the pictures from bitmap resources; id 0 leaves that picture empty. The
    // old pictures are released first. True when every non-zero id loaded; the ones
    // that did load are kept either way.
    BOOL LoadBitmaps(UINT normal, UINT pressed = 0, UINT focused = 0, UINT disabled = 0);
    // Resizes the button to its normal picture, keeping its position.
    void SizeToContent();

    void DrawItem(const DRAWITEMSTRUCT& item) override;

  protected:
    // The picture for a draw request's state bits (ODS_*); null without a normal one.
    HBITMAP ImageFor(UINT itemState) const;
    // Copies the picture for the state to the item rectangle; false when there is none.
    bool DrawImage(HDC dc, const RECT& rect, UINT itemState) const;

  private:
    GdiBitmap m_normal;
    GdiBitmap m_pressed;
    GdiBitmap m_focused;
    GdiBitmap m_disabled;
};

} // namespace tarnvale::ui
