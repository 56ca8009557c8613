#include "ui/win32/CBmpPalette.h"

#include "ui/win32/CDIBitmap.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tarnvale::ui {

CBmpPalette::CBmpPalette(const CDIBitmap& picture) {
    const BITMAPINFO* info = picture.Info();
    // The colour table holds at most 256 entries, whatever the header claims.
    const auto count = static_cast<WORD>(std::min<std::uint64_t>(picture.ColourCount(), 256));
    if (!info || count == 0)
        return;
    std::vector<BYTE> block(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = count;
    // The entries run past the structure's one-element array into the block.
    auto* entries =
        reinterpret_cast<PALETTEENTRY*>(block.data() + offsetof(LOGPALETTE, palPalEntry));
    const RGBQUAD* colours = info->bmiColors;
    for (WORD i = 0; i < count; ++i)
        entries[i] = {colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
    m_palette.Reset(::CreatePalette(palette));
}

int CBmpPalette::Size() const {
    WORD entries = 0;
    if (!m_palette || ::GetObjectA(m_palette.Get(), sizeof entries, &entries) == 0)
        return 0;
    return entries;
}

} // namespace tarnvale::ui
