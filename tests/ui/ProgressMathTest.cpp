// The arithmetic of the two progress displays: the bitmap bar's clamping and width,
// the text control's fraction, extent, captions and range messages.
#include "ui/ProgressMath.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace tarnvale::ui {
namespace {

TEST(BitmapBar, RangeIsAtLeastOneAndPositionsAreClamped) {
    EXPECT_EQ(BitmapBarRange(0), 1);
    EXPECT_EQ(BitmapBarRange(-7), 1);
    EXPECT_EQ(BitmapBarRange(100), 100);
    EXPECT_EQ(BitmapBarPosition(5, 0), 1) << "range 0 counts as 1";
    EXPECT_EQ(BitmapBarPosition(-3, 10), 0);
    EXPECT_EQ(BitmapBarPosition(11, 10), 10);
}

TEST(BitmapBar, FilledWidthCountsPositionZeroAsOne) {
    EXPECT_EQ(BitmapBarFilledWidth(0, 100, 339), 3);
    EXPECT_EQ(BitmapBarFilledWidth(1, 100, 339), 3);
    EXPECT_EQ(BitmapBarFilledWidth(50, 100, 339), 169);
    EXPECT_EQ(BitmapBarFilledWidth(100, 100, 339), 339);
    EXPECT_EQ(BitmapBarFilledWidth(1, 1, 339), 339);
    EXPECT_EQ(BitmapBarFilledWidth(0, 0, 339), 339) << "range 0 counts as 1";
    EXPECT_EQ(BitmapBarFilledWidth(INT_MAX, INT_MAX, 339), 339) << "no overflow on the way";
    EXPECT_EQ(BitmapBarFilledWidth(INT_MAX, 1, 339), INT_MAX)
        << "a position left over from a larger range saturates";
}

TEST(TextProgress, PercentageCaptionTruncates) {
    TextProgressState state;
    state.SetPos(50, 100);
    EXPECT_EQ(state.ShownCaption(), "50%");
    state.SetRange(0, 99);
    state.SetPos(33, 100);
    EXPECT_EQ(state.ShownCaption(), "33%");
    state.SetPos(150, 100);
    EXPECT_EQ(state.ShownCaption(), "151%") << "beyond the upper limit it is stored unchanged";
    state.SetRange(10, 20);
    state.SetPos(5, 100);
    EXPECT_EQ(state.ShownCaption(), "-50%");
    state.SetCaption("Loading");
    EXPECT_EQ(state.ShownCaption(), "Loading");
}

TEST(TextProgress, EmptyOrInvertedRangesHaveNoFraction) {
    // (position - lower) / (upper - lower) would divide by zero here and turn a
    // non-finite number into an int.
    TextProgressState state;
    state.SetRange(5, 5);
    EXPECT_FALSE(state.HasRange());
    EXPECT_EQ(state.Fraction(), 0.0);
    EXPECT_EQ(state.SetPos(7, 300).redraw, true) << "from -1 to 0";
    EXPECT_EQ(state.FilledExtent(), 0);
    EXPECT_EQ(state.ShownCaption(), "0%");
    state.SetRange(9, 1);
    EXPECT_FALSE(state.HasRange());
    EXPECT_EQ(state.FilledLength(300), 0);
}

TEST(TextProgress, FarPositionsSaturateInsteadOfOverflowing) {
    TextProgressState state;
    state.SetRange(0, 1);
    state.SetPos(INT_MAX, 1000);
    EXPECT_EQ(state.FilledExtent(), INT_MAX);
    EXPECT_EQ(state.ShownCaption(), std::to_string(INT_MAX) + "%");
    state.SetRange(INT_MIN, INT_MAX);
    state.SetPos(INT_MAX, 1000);
    EXPECT_EQ(state.FilledExtent(), 1000) << "the range's width is taken in double precision";
    EXPECT_EQ(state.Offset(1), INT_MAX);
    state.SetPos(INT_MIN, 1000);
    EXPECT_EQ(state.Offset(-1), INT_MIN);
    EXPECT_EQ(state.Offset(5), INT_MIN + 5);
}

TEST(TextProgress, RedrawsOnlyWhenTheExtentChangesByAPixel) {
    TextProgressState state;
    state.SetRange(0, 1000);
    EXPECT_TRUE(state.SetPos(0, 100).redraw) << "the first change always paints";
    EXPECT_FALSE(state.SetPos(9, 100).redraw) << "0.9 pixels";
    EXPECT_TRUE(state.SetPos(10, 100).redraw);
    EXPECT_EQ(state.FilledExtent(), 1);
    const TextProgressState::Move move = state.SetPos(19, 100);
    EXPECT_FALSE(move.redraw);
    EXPECT_EQ(move.oldPosition, 10);
    EXPECT_EQ(state.Position(), 19);
    state.ForgetExtent();
    EXPECT_TRUE(state.SetPos(19, 100).redraw) << "after a size change";
}

TEST(TextProgress, RangeMessagesAndStep) {
    TextProgressState state;
    EXPECT_EQ(state.Lower(), 0);
    EXPECT_EQ(state.Upper(), 100);
    state.SetRangePacked(100ul << 16);
    EXPECT_EQ(state.Lower(), 0);
    EXPECT_EQ(state.Upper(), 100);
    state.SetRangePacked(0xFFFF0001ul);
    EXPECT_EQ(state.Lower(), 1);
    EXPECT_EQ(state.Upper(), 65535) << "both halves are unsigned";
    EXPECT_EQ(state.SetStep(10), 1);
    EXPECT_EQ(state.Step(), 10);
}

TEST(TextProgress, CaptionChangesOnlyWhenTheTextDiffers) {
    TextProgressState state;
    EXPECT_FALSE(state.SetCaption(nullptr)) << "no caption to clear";
    EXPECT_FALSE(state.SetCaption(""));
    EXPECT_TRUE(state.SetCaption("Abc"));
    EXPECT_FALSE(state.SetCaption("Abc"));
    EXPECT_TRUE(state.SetCaption("abc")) << "case matters";
    EXPECT_TRUE(state.SetCaption(nullptr));
    EXPECT_EQ(state.Caption(), "");
    EXPECT_TRUE(state.SetShowText(false));
    EXPECT_FALSE(state.SetShowText(false));
}

TEST(TextProgress, ReadingTheCaptionBackStaysInsideTheBuffer) {
    TextProgressState state;
    state.SetCaption("abcdef");
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(state.CopyCaption(buffer, 4), 3u);
    EXPECT_STREQ(buffer, "abc") << "terminated within the 4 characters given";
    EXPECT_EQ(buffer[4], 'x');
    EXPECT_EQ(state.CopyCaption(buffer, 8), 6u);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(state.CopyCaption(buffer, 0), 0u);
    EXPECT_EQ(state.CopyCaption(nullptr, 8), 0u);
}

TEST(TextProgress, BarsFillFromTheLeftOrFromTheBottom) {
    const Rect client{10, 20, 210, 40};
    BarParts parts = SplitBar(client, 50, false);
    EXPECT_EQ(parts.filled, (Rect{10, 20, 60, 40}));
    EXPECT_EQ(parts.empty, (Rect{60, 20, 210, 40}));
    parts = SplitBar({0, 0, 20, 200}, 30, true);
    EXPECT_EQ(parts.filled, (Rect{0, 170, 20, 200}));
    EXPECT_EQ(parts.empty, (Rect{0, 0, 20, 170}));
    parts = SplitBar(client, 300, false);
    EXPECT_EQ(parts.filled.right, 310) << "past the client area beyond the upper limit";
}

} // namespace
} // namespace tarnvale::ui
