// The keys a launcher is built with come from the build setting, through the
// header the configure step writes; here that header holds two test keys.
#include "trust/Keys.h"

#include <gtest/gtest.h>

namespace tarnvale::trust {
namespace {

TEST(BuiltInKeysTest, TheBuildSettingReachesTheProgram) {
    const std::vector<PublicKey>& keys = BuiltInUpdateKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(ToHex(keys[0]), "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
    EXPECT_EQ(ToHex(keys[1]), "ffeeddccbbaa99887766554433221100ffeeddccbbaa99887766554433221100");
}

} // namespace
} // namespace tarnvale::trust
