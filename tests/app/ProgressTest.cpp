#include "app/LauncherWindow.h"

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

} // namespace
} // namespace tarnvale
