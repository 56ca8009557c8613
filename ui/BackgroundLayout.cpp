#include "ui/BackgroundLayout.h"

namespace tarnvale::ui {

void ForEachBackgroundCopy(BackgroundLayout layout, int clientWidth, int clientHeight,
                           int bitmapWidth, int bitmapHeight,
                           const std::function<void(const LayoutCopy&)>& draw) {
    // An empty bitmap would never advance the tiling loops.
    if (clientWidth <= 0 || clientHeight <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0)
        return;
    switch (layout) {
    case BackgroundLayout::Origin:
    case BackgroundLayout::FitWindow:
        draw({0, 0, bitmapWidth, bitmapHeight, false});
        break;
    case BackgroundLayout::Tile:
        // Rows top to bottom, each row left to right. Counted wide, so no step can
        // overflow near the int range.
        for (long long y = 0; y < clientHeight; y += bitmapHeight)
            for (long long x = 0; x < clientWidth; x += bitmapWidth)
                draw({static_cast<int>(x), static_cast<int>(y), bitmapWidth, bitmapHeight, false});
        break;
    case BackgroundLayout::Center:
        // Signed halves: a bitmap larger than the client area shows its middle.
        draw({(clientWidth - bitmapWidth) / 2, (clientHeight - bitmapHeight) / 2, bitmapWidth,
              bitmapHeight, false});
        break;
    case BackgroundLayout::Stretch:
        draw({0, 0, clientWidth, clientHeight, true});
        break;
    default:
        break;
    }
}

BackgroundLayout BitmapDialogLayout(int mode) {
    switch (mode) {
    case 1:
        return BackgroundLayout::Stretch;
    case 2:
        return BackgroundLayout::Center;
    default:
        return BackgroundLayout::Tile;
    }
}

} // namespace tarnvale::ui
