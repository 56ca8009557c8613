#include "ui/win32/CTextBitmapButton.h"

#include "ui/ButtonRules.h"
#include "ui/win32/AnsiText.h"

#include <cstring>

namespace tarnvale::ui {

void CTextBitmapButton::SetCaption(const char* text) {
    CopyAnsiText(m_caption, text);
}

void CTextBitmapButton::SetFaceName(const char* faceName) {
    CopyAnsiText(m_faceName, faceName);
}

void CTextBitmapButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    GdiFont font(::CreateFontA(m_fontHeight, m_fontWidth, 0, 0, CaptionFontWeight(m_bold), FALSE,
                               FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, m_faceName));
    HGDIOBJ previousFont = font ? ::SelectObject(dc, font.Get()) : nullptr;
    // Without a picture for the state the button draws nothing, not even its caption.
    if (DrawImage(dc, item.rcItem, item.itemState)) {
        ::SetBkMode(dc, TRANSPARENT);
        // The same colour in every state: a disabled button keeps a readable caption.
        ::SetTextColor(dc, m_captionColor);
        RECT rect = item.rcItem;
        rect.right += kCaptionRightExtension;
        ::DrawTextA(dc, m_caption, static_cast<int>(std::strlen(m_caption)), &rect,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (previousFont)
        ::SelectObject(dc, previousFont);
}

} // namespace tarnvale::ui
