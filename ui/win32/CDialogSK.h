#pragma once

#include "ui/BackgroundLayout.h"
#include "ui/win32/Dialog.h"
#include "ui/win32/GdiObjects.h"

#include <windows.h>

namespace tarnvale::ui {

// A borderless dialog with a skin: its background is a bitmap drawn in one of the
// BackgroundLayout arrangements, a press anywhere on its own surface drags the
// window (it has no caption), and it can be made uniformly translucent or have one
// colour keyed out through the system's layered windows. It owns no controls; a
// derived window puts buttons and bars over the painted background.
class CDialogSK : public Dialog {
  public:
    // The system's SetLayeredWindowAttributes, or null where it is missing.
    using LayeredAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    using LayeredAttributesLookup = LayeredAttributesFn (*)();

    explicit CDialogSK(UINT templateId, HWND parent = nullptr);
    explicit CDialogSK(const char* templateName, HWND parent = nullptr);
    ~CDialogSK() override = default;

    // The background from a bitmap resource of the program, from a .bmp file, or
    // from a handle this dialog then owns. A failed load leaves the dialog without a
    // skin and still reports TRUE; FALSE only when the handle is not a bitmap.
    BOOL SetBackgroundBitmap(WORD resourceId);
    BOOL SetBackgroundBitmap(const char* path);
    BOOL SetBackgroundBitmap(HBITMAP bitmap);
    // FitWindow also resizes the window to the bitmap, if one is set now.
    void SetBackgroundLayout(BackgroundLayout layout);
    void EnableClientDrag(BOOL enable) { m_clientDrag = enable; }
    // 255 makes the window opaque and unlayered; less layers it with that alpha.
    BOOL SetWindowAlpha(BYTE alpha);
    // Pixels of exactly this colour become see-through (and let clicks through).
    BOOL SetTransparentColor(COLORREF color, BOOL enable);

    HBITMAP BackgroundBitmap() const { return m_bitmap.Get(); }
    BackgroundLayout Layout() const { return m_layout; }

    // Tests replace the lookup of SetLayeredWindowAttributes (null restores the
    // system's); each dialog constructed afterwards uses what it returns.
    static void SetLayeredAttributesLookup(LayeredAttributesLookup lookup);

  protected:
    // The client drag, for derived windows that handle WM_LBUTTONDOWN themselves:
    // posts the caption press that lets the system move the window.
    void OnLButtonDown(LPARAM point);
    // Paints the default background, then the skin in its layout.
    LRESULT OnEraseBackground(HDC dc);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    BOOL m_clientDrag = TRUE;
    GdiBitmap m_bitmap;
    DWORD m_bitmapWidth = 0;
    DWORD m_bitmapHeight = 0;
    BackgroundLayout m_layout = BackgroundLayout::Origin;
    LayeredAttributesFn m_setLayeredAttributes = nullptr;
};

} // namespace tarnvale::ui
