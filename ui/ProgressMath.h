#pragma once

#include "ui/Geometry.h"

#include <cstddef>
#include <string>

// The arithmetic of the toolkit's two progress displays, apart from their drawing.
namespace tarnvale::ui {

// The bitmap bar: its range is at least 1, a position is kept within 0..range.
int BitmapBarRange(int range);
int BitmapBarPosition(int position, int range);
// Pixels of the picture shown: position (at least 1) x image width / range (at
// least 1), truncated. A position of 0 therefore still shows one step's width.
int BitmapBarFilledWidth(int position, int range, int imageWidth);

// The state of the text progress control and the rules of its messages.
class TextProgressState {
  public:
    struct Move {
        int oldPosition;
        bool redraw; // the filled part changed by at least a pixel
    };

    int Position() const { return m_position; }
    int Step() const { return m_step; }
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }
    int FilledExtent() const { return m_filledExtent; }
    bool ShowText() const { return m_showText; }
    const std::string& Caption() const { return m_caption; }

    // Stores the position unclamped and recomputes the filled extent for a bar of
    // that length (pixels along its direction).
    Move SetPos(int position, int barLength);
    // The position after adding a delta, saturated at the int range.
    int Offset(int delta) const;
    int SetStep(int step);
    void SetRange(int lower, int upper);
    // PBM_SETRANGE's packing: lower limit in the low 16 bits, upper limit in the
    // high 16 bits, both unsigned.
    void SetRangePacked(unsigned long packed);
    // A size change forces the next position change to repaint.
    void ForgetExtent() { m_filledExtent = -1; }
    // True when the shown/hidden state changed.
    bool SetShowText(bool show);

    // WM_SETTEXT: stores the text as the caption when it differs (null clears a
    // caption). True when the caption changed.
    bool SetCaption(const char* text);
    // WM_GETTEXT into a buffer of size characters: copies as much of the caption as
    // fits with its terminator and returns the count copied (0 without a buffer).
    std::size_t CopyCaption(char* buffer, std::size_t size) const;

    // An empty or inverted range paints nothing.
    bool HasRange() const { return m_lower < m_upper; }
    // (position - lower) / (upper - lower); 0 for an empty or inverted range.
    double Fraction() const;
    // trunc(length x fraction), saturated at the int range.
    int FilledLength(int length) const;
    // The stored caption, or the percentage ("%d%%" of trunc(fraction x 100)).
    std::string ShownCaption() const;

  private:
    int m_position = 0;
    int m_step = 1;
    int m_upper = 100;
    int m_lower = 0;
    std::string m_caption;
    bool m_showText = true;
    int m_filledExtent = -1;
};

// The filled and the empty part of a text progress bar. Horizontal bars fill from
// the left; vertical bars from the bottom up.
struct BarParts {
    Rect filled;
    Rect empty;
};
BarParts SplitBar(const Rect& client, int filledLength, bool vertical);

} // namespace tarnvale::ui
