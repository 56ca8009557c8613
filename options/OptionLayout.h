#pragma once

#include "res/ResourceIds.h"

// Where the options dialog puts its controls, in client pixels. The background
// picture (bitmap 110, 385 x 486) carries the labels; each control sits on its own.
namespace tarnvale::options::layout {

struct Placement {
    int id;
    int x, y, width, height;
};

// The radio buttons and check boxes are shrunk to their glyphs so that only the
// picture's labels show.
inline constexpr int kGlyphSize = 13;

inline constexpr Placement kSaveButton = {IDC_SAVE, 116, 443, 74, 22};
inline constexpr Placement kCancelButton = {2 /* IDCANCEL */, 194, 443, 74, 22};
// The close button is made at run time and takes its picture's size (16 x 15).
inline constexpr int kCloseButtonId = 2005;
inline constexpr int kCloseButtonX = 353;
inline constexpr int kCloseButtonY = 18;

// The template's controls, moved in this order.
inline constexpr Placement kControls[] = {
    {IDC_ACCOUNT_ID, 144, 136, 170, 14},
    {IDC_RES800, 32, 240, kGlyphSize, kGlyphSize},
    {IDC_RES1024, 108, 240, kGlyphSize, kGlyphSize},
    {IDC_RES1280, 190, 240, kGlyphSize, kGlyphSize},
    {IDC_RES1920, 278, 240, kGlyphSize, kGlyphSize},
    {IDC_DEPTH16, 32, 320, kGlyphSize, kGlyphSize},
    {IDC_DEPTH32, 143, 320, kGlyphSize, kGlyphSize},
    {IDC_SOUND, 32, 398, kGlyphSize, kGlyphSize},
    {IDC_MUSIC, 143, 398, kGlyphSize, kGlyphSize},
    {IDC_WINDOW_MODE, 286, 216, kGlyphSize, kGlyphSize},
};

} // namespace tarnvale::options::layout
