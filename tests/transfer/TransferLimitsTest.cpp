// The stall rule by itself, on a clock the test turns.
#include "platform/TransferLimits.h"

#include <gtest/gtest.h>

namespace tarnvale::platform {
namespace {

TEST(StallWatch, FailsAWindowWithTooFewBytesOnly) {
    const TransferLimits limits{2, 100}; // 200 bytes per two seconds
    StallWatch watch(limits, 1000);
    EXPECT_TRUE(watch.Progress(0, 1000));
    EXPECT_TRUE(watch.Progress(10, 2999)) << "the first window has not ended";
    EXPECT_TRUE(watch.Progress(250, 3000)) << "250 bytes in the first window";
    EXPECT_TRUE(watch.Progress(300, 4500));
    EXPECT_FALSE(watch.Progress(449, 5000)) << "199 bytes in the second window";

    // A clock that wraps around between reports.
    StallWatch wrapping(limits, 0xFFFFFC18u); // a second before the wrap
    EXPECT_TRUE(wrapping.Progress(100, 0x000003E7u));
    EXPECT_FALSE(wrapping.Progress(150, 0x000003E8u));
}

TEST(StallWatch, LimitsAreKeptSensible) {
    SetTransferLimits({0, -5});
    EXPECT_EQ(CurrentTransferLimits().stallSeconds, 1);
    EXPECT_EQ(CurrentTransferLimits().minimumBytesPerSecond, 1);
    SetTransferLimits({});
    EXPECT_EQ(CurrentTransferLimits().stallSeconds, TransferLimits{}.stallSeconds);
}

} // namespace
} // namespace tarnvale::platform
