#include "options/win32/CBitmapDialog.h"

#include "ui/BackgroundLayout.h"
#include "ui/win32/CBmpPalette.h"

#include <cstring>

namespace tarnvale::options {

CBitmapDialog::CBitmapDialog(UINT templateId, HWND parent)
    : ui::Dialog(templateId, parent),
      m_hollowBrush(static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH))) {}

BOOL CBitmapDialog::SetBitmap(UINT resourceId, int layoutMode) {
    m_nLayoutMode = layoutMode;
    return m_background.LoadFromResource(resourceId);
}

LRESULT CBitmapDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return OnControlColor(message, wParam, lParam);
    case WM_QUERYNEWPALETTE:
        if (HasPalette())
            return OnQueryNewPalette();
        break;
    case WM_PALETTECHANGED:
        if (HasPalette())
            return OnPaletteChanged(wParam, lParam);
        break;
    default:
        break;
    }
    return ui::Dialog::HandleMessage(message, wParam, lParam);
}

LRESULT CBitmapDialog::OnEraseBackground(HDC dc) {
    if (!m_background.Loaded())
        return Default(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(Handle(), &client);
    const ui::BackgroundLayout layout = ui::BitmapDialogLayout(m_nLayoutMode);
    // A centred picture may leave a margin, which gets the dialog's own colour.
    if (layout == ui::BackgroundLayout::Center)
        Default(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ui::ForEachBackgroundCopy(layout, client.right, client.bottom, m_background.Width(),
                              m_background.Height(), [&](const ui::LayoutCopy& copy) {
                                  if (copy.stretched)
                                      m_background.DrawStretched(dc, copy.x, copy.y, copy.width,
                                                                 copy.height);
                                  else
                                      m_background.Draw(dc, copy.x, copy.y);
                              });
    return TRUE;
}

LRESULT CBitmapDialog::OnControlColor(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    bool seeThrough = false;
    if (m_background.Loaded()) {
        if (message == WM_CTLCOLORBTN) {
            seeThrough = true;
        } else {
            char className[32] = {};
            ::GetClassNameA(control, className, sizeof className);
            seeThrough = std::strcmp(className, "msctls_trackbar32") == 0;
        }
    }
    if (!seeThrough)
        return ui::Dialog::HandleMessage(message, wParam, lParam);
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(m_hollowBrush);
}

bool CBitmapDialog::HasPalette() const {
    return HasWindow() && m_background.Palette() && m_background.Palette()->Handle();
}

UINT CBitmapDialog::RealizeBackgroundPalette(bool background) {
    HDC dc = ::GetDC(Handle());
    if (!dc)
        return 0;
    HPALETTE previous = ::SelectPalette(dc, m_background.Palette()->Handle(), background);
    const UINT changed = ::RealizePalette(dc);
    if (previous)
        ::SelectPalette(dc, previous, TRUE);
    ::ReleaseDC(Handle(), dc);
    if (changed != 0 && changed != GDI_ERROR) {
        ::InvalidateRect(Handle(), nullptr, TRUE);
        return changed;
    }
    return 0;
}

LRESULT CBitmapDialog::OnQueryNewPalette() {
    return RealizeBackgroundPalette(false) ? TRUE : FALSE;
}

LRESULT CBitmapDialog::OnPaletteChanged(WPARAM wParam, LPARAM lParam) {
    HWND changer = reinterpret_cast<HWND>(wParam);
    // Our own realisation (or a child's) must not start another round.
    if (changer == Handle() || ::IsChild(Handle(), changer))
        return ui::Dialog::HandleMessage(WM_PALETTECHANGED, wParam, lParam);
    RealizeBackgroundPalette(true);
    return 0;
}

} // namespace tarnvale::options
