#pragma once

#include <windows.h>

#include <string>

namespace tarnvale {

// How the notice area looks where no page can be shown: a plain fill in the
// skin's colour with one calm line of text, never an error page.
struct NoticePanelStyle {
    COLORREF fill = RGB(236, 228, 210);
    COLORREF textColour = RGB(96, 84, 66);
    std::string text = "News is not available right now."; // bytes in the system code page
    HFONT font = nullptr; // not owned; null takes the default GUI font
};

// Paints the panel into `dc` over `area`. While a page is still on its way the
// panel is only the fill (`withText` false), so that nothing flickers before it.
void PaintNoticePanel(HDC dc, const RECT& area, const NoticePanelStyle& style, bool withText);

} // namespace tarnvale
