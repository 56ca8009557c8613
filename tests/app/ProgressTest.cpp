#include "state/LauncherWindow.h"

#include <gtest/gtest.h>

namespace tarnvale {
namespace {

TEST(ProgressPercent, PositionZeroCountsAsOne) {
    EXPECT_EQ(ProgressPercent(0, 1), 100);
    EXPECT_EQ(ProgressPercent(0, 100), 1);
    EXPECT_EQ(ProgressPercent(50, 100), 50);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(5, 0), 500) << "range 0 counts as 1";
}

TEST(ProgressBar, RangeIsAtLeastOneAndPositionsAreClamped) {
    ProgressBar bar;
    bar.SetRange(0);
    EXPECT_EQ(bar.GetRange(), 1);
    bar.SetRange(10);
    bar.SetPos(25);
    EXPECT_EQ(bar.GetPos(), 10);
    bar.SetPos(-3);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetPos(7);
    bar.SetRange(5);
    EXPECT_EQ(bar.GetPos(), 7) << "a range change leaves the position until the next SetPos";
}

} // namespace
} // namespace tarnvale
