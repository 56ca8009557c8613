#pragma once

#include <functional>

// Where a background bitmap goes in a window's client area.
namespace tarnvale::ui {

enum class BackgroundLayout : int {
    Origin = 0,   // once, top-left corner at the client origin
    Tile = 1,     // repeated across the client area, row by row, top row first
    Center = 2,   // once, centred (a larger bitmap shows its middle)
    Stretch = 3,  // stretched to exactly the client area
    FitWindow = 4 // as Origin; the window takes the bitmap's size when this is set
};

// One copy of the whole bitmap onto the destination rectangle. Unstretched copies
// have the bitmap's own size; what falls outside the client area is clipped by the
// device context.
struct LayoutCopy {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool stretched = false;
};

// Calls draw for each copy, in drawing order. An unknown layout, an empty client
// area or an empty bitmap draws nothing.
void ForEachBackgroundCopy(BackgroundLayout layout, int clientWidth, int clientHeight,
                           int bitmapWidth, int bitmapHeight,
                           const std::function<void(const LayoutCopy&)>& draw);

// The layout of a bitmap dialog's mode number: 1 stretches, 2 centres, every other
// value tiles.
BackgroundLayout BitmapDialogLayout(int mode);

} // namespace tarnvale::ui
