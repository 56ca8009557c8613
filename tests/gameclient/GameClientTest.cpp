#include "launch/GameClient.h"
#include "msg/MessageIds.h"

#include <gtest/gtest.h>

namespace tarnvale::gameclient {
namespace {

TEST(GameClient, OnlyFourStartResultsAreReported) {
    EXPECT_EQ(StartResultMessage(0), msgid::kStartOutOfMemory);
    EXPECT_EQ(StartResultMessage(2), msgid::kStartNotFound);
    EXPECT_EQ(StartResultMessage(3), msgid::kStartNotFound);
    EXPECT_EQ(StartResultMessage(11), msgid::kStartBadFormat);
    // Other failures up to 32 and every success stay silent.
    for (long result : {1L, 4L, 5L, 8L, 10L, 12L, 26L, 31L, 32L, 33L, 42L})
        EXPECT_EQ(StartResultMessage(result), 0) << result;
}

} // namespace
} // namespace tarnvale::gameclient
