// Where each background layout puts its copies, and which picture and weight a
// bitmap button uses.
#include "ui/BackgroundLayout.h"
#include "ui/ButtonRules.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnvale::ui {
namespace {

struct Copy {
    int x, y, width, height;
    bool stretched;
    bool operator==(const Copy&) const = default;
};

std::vector<Copy> Copies(BackgroundLayout layout, int clientWidth, int clientHeight,
                         int bitmapWidth, int bitmapHeight) {
    std::vector<Copy> copies;
    ForEachBackgroundCopy(
        layout, clientWidth, clientHeight, bitmapWidth, bitmapHeight, [&](const LayoutCopy& copy) {
            copies.push_back({copy.x, copy.y, copy.width, copy.height, copy.stretched});
        });
    return copies;
}

TEST(BackgroundLayout, TilesRowByRowTopRowFirst) {
    EXPECT_EQ(Copies(BackgroundLayout::Tile, 1000, 500, 580, 380),
              (std::vector<Copy>{{0, 0, 580, 380, false},
                                 {580, 0, 580, 380, false},
                                 {0, 380, 580, 380, false},
                                 {580, 380, 580, 380, false}}));
    EXPECT_EQ(Copies(BackgroundLayout::Tile, 580, 380, 580, 380).size(), 1u);
    EXPECT_EQ(Copies(BackgroundLayout::Tile, 581, 381, 580, 380).size(), 4u);
    EXPECT_EQ(Copies(BackgroundLayout::Tile, 1000, 1000, 1, 1).size(), 1000000u);
}

TEST(BackgroundLayout, OriginAndFitWindowDrawOnceAtTheOrigin) {
    for (BackgroundLayout layout : {BackgroundLayout::Origin, BackgroundLayout::FitWindow})
        EXPECT_EQ(Copies(layout, 1000, 500, 580, 380),
                  (std::vector<Copy>{{0, 0, 580, 380, false}}));
}

TEST(BackgroundLayout, CenterUsesSignedHalvesSoALargerBitmapShowsItsMiddle) {
    EXPECT_EQ(Copies(BackgroundLayout::Center, 1000, 500, 580, 380),
              (std::vector<Copy>{{210, 60, 580, 380, false}}));
    EXPECT_EQ(Copies(BackgroundLayout::Center, 101, 51, 20, 10),
              (std::vector<Copy>{{40, 20, 20, 10, false}}));
    EXPECT_EQ(Copies(BackgroundLayout::Center, 100, 50, 120, 60),
              (std::vector<Copy>{{-10, -5, 120, 60, false}}));
}

TEST(BackgroundLayout, StretchCoversExactlyTheClientArea) {
    EXPECT_EQ(Copies(BackgroundLayout::Stretch, 1000, 500, 580, 380),
              (std::vector<Copy>{{0, 0, 1000, 500, true}}));
}

TEST(BackgroundLayout, NothingForUnknownLayoutsOrEmptyAreas) {
    EXPECT_TRUE(Copies(static_cast<BackgroundLayout>(5), 1000, 500, 580, 380).empty());
    EXPECT_TRUE(Copies(static_cast<BackgroundLayout>(-1), 1000, 500, 580, 380).empty());
    for (BackgroundLayout layout : {BackgroundLayout::Origin, BackgroundLayout::Tile,
                                    BackgroundLayout::Center, BackgroundLayout::Stretch}) {
        EXPECT_TRUE(Copies(layout, 0, 500, 580, 380).empty());
        EXPECT_TRUE(Copies(layout, 1000, 500, 0, 380).empty()) << "a tiling that never advances";
        EXPECT_TRUE(Copies(layout, 1000, 500, 580, -1).empty());
    }
}

TEST(BackgroundLayout, BitmapDialogModes) {
    EXPECT_EQ(BitmapDialogLayout(0), BackgroundLayout::Tile);
    EXPECT_EQ(BitmapDialogLayout(1), BackgroundLayout::Stretch);
    EXPECT_EQ(BitmapDialogLayout(2), BackgroundLayout::Center);
    EXPECT_EQ(BitmapDialogLayout(3), BackgroundLayout::Tile);
    EXPECT_EQ(BitmapDialogLayout(-1), BackgroundLayout::Tile);
}

TEST(ButtonImageChoice, PressedBeatsFocusedBeatsDisabledAndMissingPicturesFallThrough) {
    const unsigned all = kItemSelected | kItemFocus | kItemDisabled;
    EXPECT_EQ(ChooseButtonImage(0, true, true, true), ButtonImage::Normal);
    EXPECT_EQ(ChooseButtonImage(all, true, true, true), ButtonImage::Pressed);
    EXPECT_EQ(ChooseButtonImage(kItemSelected | kItemFocus, true, true, true),
              ButtonImage::Pressed);
    EXPECT_EQ(ChooseButtonImage(all, false, true, true), ButtonImage::Focused);
    EXPECT_EQ(ChooseButtonImage(all, false, false, true), ButtonImage::Disabled);
    EXPECT_EQ(ChooseButtonImage(all, false, false, false), ButtonImage::Normal);
    EXPECT_EQ(ChooseButtonImage(kItemSelected, false, true, true), ButtonImage::Normal)
        << "pressed without a pressed picture does not borrow another state's";
    EXPECT_EQ(ChooseButtonImage(kItemDisabled, true, true, false), ButtonImage::Normal);
    EXPECT_EQ(ChooseButtonImage(kItemFocus | kItemDisabled, true, false, true),
              ButtonImage::Disabled);
    // Other state bits (ODS_GRAYED, ODS_CHECKED, ...) change nothing.
    EXPECT_EQ(ChooseButtonImage(0x2 | 0x8 | 0x20, true, true, true), ButtonImage::Normal);
}

TEST(ButtonImageChoice, CaptionIsBoldOnlyForFlagOne) {
    EXPECT_EQ(CaptionFontWeight(1), 956);
    EXPECT_EQ(CaptionFontWeight(0), 400);
    EXPECT_EQ(CaptionFontWeight(2), 400);
    EXPECT_EQ(CaptionFontWeight(-1), 400);
}

} // namespace
} // namespace tarnvale::ui
