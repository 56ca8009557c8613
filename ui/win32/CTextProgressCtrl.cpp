#include "ui/win32/CTextProgressCtrl.h"

#include "ui/win32/CMemDC.h"
#include "ui/win32/GdiObjects.h"

#include <commctrl.h>

#include <string>
#include <utility>

namespace tarnvale::ui {
namespace {

constexpr char kClassName[] = "TarnvaleTextProgress";

bool RegisterControlClass() {
    WNDCLASSA existing;
    if (::GetClassInfoA(ResourceModule(), kClassName, &existing))
        return true;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ResourceModule();
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassA(&windowClass) != 0;
}

RECT ToRect(const Rect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void FillSolid(HDC dc, const Rect& rect, COLORREF colour) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    GdiBrush brush(::CreateSolidBrush(colour));
    const RECT area = ToRect(rect);
    ::FillRect(dc, &area, brush.Get());
}

// Draws the caption centred in the client area, but only inside one part of the bar.
void DrawCaptionPart(HDC dc, const Rect& part, COLORREF colour, const std::string& caption,
                     RECT client) {
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
    ::SetTextColor(dc, colour);
    ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &client,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::RestoreDC(dc, saved);
}

COLORREF Resolve(COLORREF colour, int systemColour) {
    return colour == CLR_DEFAULT ? ::GetSysColor(systemColour) : colour;
}

} // namespace

bool CTextProgressCtrl::Create(DWORD style, const RECT& rect, HWND parent, int id) {
    if (HasWindow() || !RegisterControlClass())
        return false;
    HWND window = ::CreateWindowExA(0, kClassName, "", style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    ResourceModule(), nullptr);
    if (!window)
        return false;
    if (!Attach(window)) {
        ::DestroyWindow(window);
        return false;
    }
    OwnWindow();
    return true;
}

int CTextProgressCtrl::SetPos(int position) {
    return HasWindow() ? static_cast<int>(
                             ::SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position), 0))
                       : -1;
}

int CTextProgressCtrl::GetPos() const {
    return HasWindow() ? static_cast<int>(::SendMessageA(Handle(), PBM_GETPOS, 0, 0)) : 0;
}

void CTextProgressCtrl::SetRange32(int lower, int upper) {
    if (HasWindow())
        ::SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
}

COLORREF CTextProgressCtrl::SetBarColor(COLORREF color) {
    return HasWindow() ? static_cast<COLORREF>(::SendMessageA(Handle(), PBM_SETBARCOLOR, 0, color))
                       : CLR_DEFAULT;
}

COLORREF CTextProgressCtrl::SetBkColor(COLORREF color) {
    return HasWindow() ? static_cast<COLORREF>(::SendMessageA(Handle(), PBM_SETBKCOLOR, 0, color))
                       : CLR_DEFAULT;
}

COLORREF CTextProgressCtrl::SetTextColor(COLORREF color) {
    return HasWindow() ? static_cast<COLORREF>(::SendMessageA(Handle(), TPM_SETTEXTCOLOR, 0, color))
                       : CLR_DEFAULT;
}

void CTextProgressCtrl::SetShowText(BOOL show) {
    if (HasWindow())
        ::SendMessageA(Handle(), TPM_SHOWTEXT, static_cast<WPARAM>(show), 0);
}

bool CTextProgressCtrl::Vertical() const {
    return HasWindow() && (::GetWindowLongA(Handle(), GWL_STYLE) & PBS_VERTICAL) != 0;
}

int CTextProgressCtrl::BarLength() const {
    RECT client{};
    if (HasWindow())
        ::GetClientRect(Handle(), &client);
    return Vertical() ? client.bottom - client.top : client.right - client.left;
}

LRESULT CTextProgressCtrl::MovePosition(int position) {
    if (!HasWindow())
        return -1;
    // The extent is measured along the bar's own direction, so a tall vertical bar
    // repaints as often as its filled part changes.
    const TextProgressState::Move move = m_state.SetPos(position, BarLength());
    if (move.redraw)
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return move.oldPosition;
}

COLORREF CTextProgressCtrl::ReplaceColour(COLORREF& field, COLORREF color) {
    if (HasWindow())
        ::InvalidateRect(Handle(), nullptr, TRUE);
    return std::exchange(field, color);
}

void CTextProgressCtrl::PaintTo(HDC target) {
    if (!HasWindow() || !m_state.HasRange())
        return;
    RECT client;
    ::GetClientRect(Handle(), &client);
    const COLORREF bar = Resolve(m_barColour, COLOR_HIGHLIGHT);
    const COLORREF background = Resolve(m_backgroundColour, COLOR_WINDOW);
    const bool vertical = Vertical();

    CMemDC memory(target);
    HDC dc = memory.Get();
    auto font = reinterpret_cast<HFONT>(::SendMessageA(::GetParent(Handle()), WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = font ? ::SelectObject(dc, font) : nullptr;

    const Rect area{client.left, client.top, client.right, client.bottom};
    const int length = vertical ? area.Height() : area.Width();
    const BarParts parts = SplitBar(area, m_state.FilledLength(length), vertical);
    FillSolid(dc, parts.filled, bar);
    FillSolid(dc, parts.empty, background);

    if (m_state.ShowText() && !vertical) {
        const std::string caption = m_state.ShownCaption();
        ::SetBkMode(dc, TRANSPARENT);
        // Over the bar the caption takes the background's colour and over the empty
        // part the bar's, so it changes colour exactly at the bar's edge.
        DrawCaptionPart(dc, parts.filled, m_textColour != CLR_DEFAULT ? m_textColour : background,
                        caption, client);
        DrawCaptionPart(dc, parts.empty, m_textColour != CLR_DEFAULT ? m_textColour : bar, caption,
                        client);
    }
    if (previousFont)
        ::SelectObject(dc, previousFont);
}

LRESULT CTextProgressCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE; // the paint covers everything
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Handle(), &paint);
        PaintTo(dc);
        ::EndPaint(Handle(), &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintTo(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SIZE: {
        const LRESULT result = Default(message, wParam, lParam);
        m_state.ForgetExtent();
        return result;
    }
    case WM_SETTEXT: {
        const LRESULT result = Default(message, wParam, lParam);
        if (m_state.SetCaption(reinterpret_cast<const char*>(lParam)))
            ::InvalidateRect(Handle(), nullptr, TRUE);
        return result;
    }
    case WM_GETTEXT:
        return static_cast<LRESULT>(
            m_state.CopyCaption(reinterpret_cast<char*>(lParam), static_cast<std::size_t>(wParam)));
    case PBM_DELTAPOS:
        return ::SendMessageA(Handle(), PBM_SETPOS,
                              static_cast<WPARAM>(m_state.Offset(static_cast<int>(wParam))), 0);
    case PBM_GETPOS:
        return m_state.Position();
    case PBM_GETRANGE:
        if (lParam) {
            auto* range = reinterpret_cast<PBRANGE*>(lParam);
            range->iLow = m_state.Lower();
            range->iHigh = m_state.Upper();
        }
        return wParam ? m_state.Lower() : m_state.Upper();
    case PBM_SETBARCOLOR:
        return static_cast<LRESULT>(ReplaceColour(m_barColour, static_cast<COLORREF>(lParam)));
    case PBM_SETBKCOLOR:
        return static_cast<LRESULT>(
            ReplaceColour(m_backgroundColour, static_cast<COLORREF>(lParam)));
    case PBM_SETPOS:
        return MovePosition(static_cast<int>(wParam));
    case PBM_SETRANGE:
        m_state.SetRangePacked(static_cast<unsigned long>(lParam));
        return 0;
    case PBM_SETRANGE32:
        m_state.SetRange(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case PBM_SETSTEP:
        return m_state.SetStep(static_cast<int>(wParam));
    case PBM_STEPIT:
        return ::SendMessageA(Handle(), PBM_SETPOS,
                              static_cast<WPARAM>(m_state.Offset(m_state.Step())), 0);
    case TPM_SETTEXTCOLOR:
        return static_cast<LRESULT>(ReplaceColour(m_textColour, static_cast<COLORREF>(lParam)));
    case TPM_SHOWTEXT:
        if (m_state.SetShowText(wParam != 0))
            ::InvalidateRect(Handle(), nullptr, TRUE);
        return 0;
    default:
        return Default(message, wParam, lParam);
    }
}

} // namespace tarnvale::ui
