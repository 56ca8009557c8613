#include "ui/win32/CDialogSK.h"

namespace tarnvale::ui {
namespace {

CDialogSK::LayeredAttributesFn SystemLayeredAttributes() {
    HMODULE user32 = ::GetModuleHandleA("USER32.DLL");
    FARPROC function = user32 ? ::GetProcAddress(user32, "SetLayeredWindowAttributes") : nullptr;
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<CDialogSK::LayeredAttributesFn>(reinterpret_cast<void (*)()>(function));
}

CDialogSK::LayeredAttributesLookup g_lookup = nullptr;

CDialogSK::LayeredAttributesFn LookUpLayeredAttributes() {
    return g_lookup ? g_lookup() : SystemLayeredAttributes();
}

constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME;

} // namespace

CDialogSK::CDialogSK(UINT templateId, HWND parent)
    : Dialog(templateId, parent), m_setLayeredAttributes(LookUpLayeredAttributes()) {}

CDialogSK::CDialogSK(const char* templateName, HWND parent)
    : Dialog(templateName, parent), m_setLayeredAttributes(LookUpLayeredAttributes()) {}

void CDialogSK::SetLayeredAttributesLookup(LayeredAttributesLookup lookup) {
    g_lookup = lookup;
}

BOOL CDialogSK::SetBackgroundBitmap(WORD resourceId) {
    return SetBackgroundBitmap(static_cast<HBITMAP>(::LoadImageA(
        ResourceModule(), MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
}

BOOL CDialogSK::SetBackgroundBitmap(const char* path) {
    return SetBackgroundBitmap(
        static_cast<HBITMAP>(::LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
}

BOOL CDialogSK::SetBackgroundBitmap(HBITMAP bitmap) {
    // Handing back the bitmap already held must not delete it.
    if (bitmap != m_bitmap.Get())
        m_bitmap.Reset(bitmap);
    if (bitmap) {
        SIZE size;
        if (!BitmapSize(bitmap, size)) {
            m_bitmap.Reset();
            return FALSE;
        }
        m_bitmapWidth = static_cast<DWORD>(size.cx);
        m_bitmapHeight = static_cast<DWORD>(size.cy);
    }
    if (HasWindow())
        ::InvalidateRect(Handle(), nullptr, TRUE);
    return TRUE;
}

void CDialogSK::SetBackgroundLayout(BackgroundLayout layout) {
    m_layout = layout;
    if (layout == BackgroundLayout::FitWindow && m_bitmap && HasWindow())
        ::SetWindowPos(Handle(), nullptr, 0, 0, static_cast<int>(m_bitmapWidth),
                       static_cast<int>(m_bitmapHeight), SWP_NOMOVE | SWP_NOOWNERZORDER);
}

BOOL CDialogSK::SetWindowAlpha(BYTE alpha) {
    if (!m_setLayeredAttributes || !HasWindow())
        return FALSE;
    const LONG style = ::GetWindowLongA(Handle(), GWL_EXSTYLE);
    if (alpha == 255) {
        ::SetWindowLongA(Handle(), GWL_EXSTYLE, style & ~WS_EX_LAYERED);
        ::RedrawWindow(Handle(), nullptr, nullptr, kRedrawAll);
        return TRUE;
    }
    ::SetWindowLongA(Handle(), GWL_EXSTYLE, style | WS_EX_LAYERED);
    return m_setLayeredAttributes(Handle(), 0, alpha, LWA_ALPHA);
}

BOOL CDialogSK::SetTransparentColor(COLORREF color, BOOL enable) {
    if (!m_setLayeredAttributes || !HasWindow())
        return FALSE;
    const LONG style = ::GetWindowLongA(Handle(), GWL_EXSTYLE);
    if (!enable) {
        ::SetWindowLongA(Handle(), GWL_EXSTYLE, style & ~WS_EX_LAYERED);
        ::RedrawWindow(Handle(), nullptr, nullptr, kRedrawAll);
        return TRUE;
    }
    ::SetWindowLongA(Handle(), GWL_EXSTYLE, style | WS_EX_LAYERED);
    return m_setLayeredAttributes(Handle(), color, 0, LWA_COLORKEY);
}

void CDialogSK::OnLButtonDown(LPARAM point) {
    // The system's caption drag takes over from here; the window has no caption of
    // its own to press.
    if (m_clientDrag && HasWindow())
        ::PostMessageA(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, point);
}

LRESULT CDialogSK::OnEraseBackground(HDC dc) {
    const LRESULT result = Default(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    if (!m_bitmap)
        return result;
    RECT client;
    ::GetClientRect(Handle(), &client);
    MemoryDC memory(dc);
    if (!memory.Select(m_bitmap.Get()))
        return result;
    const int width = static_cast<int>(m_bitmapWidth);
    const int height = static_cast<int>(m_bitmapHeight);
    const int previousMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    ForEachBackgroundCopy(
        m_layout, client.right, client.bottom, width, height, [&](const LayoutCopy& copy) {
            if (copy.stretched)
                ::StretchBlt(dc, copy.x, copy.y, copy.width, copy.height, memory.Get(), 0, 0, width,
                             height, SRCCOPY);
            else
                ::BitBlt(dc, copy.x, copy.y, copy.width, copy.height, memory.Get(), 0, 0, SRCCOPY);
        });
    if (previousMode)
        ::SetStretchBltMode(dc, previousMode);
    return result;
}

LRESULT CDialogSK::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        break; // the default handling of the click follows
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_SIZE: {
        const LRESULT result = Default(message, wParam, lParam);
        if (m_bitmap)
            ::InvalidateRect(Handle(), nullptr, TRUE);
        return result;
    }
    default:
        break;
    }
    return Dialog::HandleMessage(message, wParam, lParam);
}

} // namespace tarnvale::ui
