#pragma once

#include "ui/win32/CBitmapButton.h"

#include <cstddef>

namespace tarnvale::ui {

// A bitmap button that also draws a one-line caption over its picture, centred, in
// a font and colour of its own. The setters only store; the next repaint shows the
// change. The font is made for each drawing.
class CTextBitmapButton : public CBitmapButton {
  public:
    static constexpr std::size_t kCaptionSize = 32;  // bytes, terminator included
    static constexpr std::size_t kFaceNameSize = 64; // bytes, terminator included

    // Longer texts are cut to fit their buffers (31 and 63 bytes).
    void SetCaption(const char* text);
    void SetFaceName(const char* faceName);
    void SetCaptionColor(COLORREF color) { m_captionColor = color; }
    void SetFontSize(int width, int height) {
        m_fontWidth = width;
        m_fontHeight = height;
    }
    // Bold only for exactly 1.
    void SetBold(BOOL bold) { m_bold = bold; }

    const char* Caption() const { return m_caption; }

    void DrawItem(const DRAWITEMSTRUCT& item) override;

  private:
    char m_caption[kCaptionSize] = {};
    char m_faceName[kFaceNameSize] = {};
    COLORREF m_captionColor = 0;
    int m_fontWidth = 0;
    int m_fontHeight = 0;
    BOOL m_bold = 0;
};

} // namespace tarnvale::ui
