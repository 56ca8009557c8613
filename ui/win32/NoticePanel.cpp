#include "ui/win32/NoticePanel.h"

namespace tarnvale {

void PaintNoticePanel(HDC dc, const RECT& area, const NoticePanelStyle& style, bool withText) {
    if (HBRUSH brush = ::CreateSolidBrush(style.fill)) {
        ::FillRect(dc, &area, brush);
        ::DeleteObject(brush);
    }
    if (!withText || style.text.empty())
        return;
    HGDIOBJ font =
        style.font ? static_cast<HGDIOBJ>(style.font) : ::GetStockObject(DEFAULT_GUI_FONT);
    HGDIOBJ previousFont = ::SelectObject(dc, font);
    const int previousMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF previousColour = ::SetTextColor(dc, style.textColour);
    RECT box = area;
    ::DrawTextA(dc, style.text.c_str(), -1, &box,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SetTextColor(dc, previousColour);
    ::SetBkMode(dc, previousMode);
    ::SelectObject(dc, previousFont);
}

} // namespace tarnvale
