#include "OptionsTestSupport.h"
#include "options/WindowModeValue.h"
#include "platform/Registry.h"

namespace tarnvale {
namespace {

class WindowMode : public test::OptionsTest {};

TEST_F(WindowMode, LauncherStartCreatesTheValueOnlyWhenItIsMissing) {
    EXPECT_EQ(options::PrepareWindowModeValue(where), 0u);
    EXPECT_EQ(Dword("WindowMode"), 0u) << "a new key gets full screen";

    StoreDword("WindowMode", 1);
    EXPECT_EQ(options::PrepareWindowModeValue(where), 1u);
    EXPECT_EQ(Dword("WindowMode"), 1u) << "a readable value is left alone";

    StoreString("WindowMode", "1");
    EXPECT_EQ(options::PrepareWindowModeValue(where), 0u);
    EXPECT_EQ(Dword("WindowMode"), 0u) << "an unreadable value is replaced";
}

TEST_F(WindowMode, ExistingKeyWithoutTheValueGetsIt) {
    StoreDword("Resolution", 3);
    EXPECT_EQ(options::PrepareWindowModeValue(where), 0u);
    EXPECT_EQ(Dword("WindowMode"), 0u);
    EXPECT_EQ(Dword("Resolution"), 3u) << "the other values stay";
}

TEST_F(WindowMode, ToggleWritesTheStateOrFails) {
    ASSERT_TRUE(options::StoreWindowMode(1, where));
    EXPECT_EQ(Dword("WindowMode"), 1u);
    ASSERT_TRUE(options::StoreWindowMode(0, where));
    EXPECT_EQ(Dword("WindowMode"), 0u);

    EXPECT_FALSE(options::StoreWindowMode(1, BadLocation()));
    EXPECT_EQ(options::PrepareWindowModeValue(BadLocation()), 0u);
    platform::RegistryKey key;
    EXPECT_FALSE(key.Open(where.root, BadLocation().path)) << "the key was not created";
    EXPECT_TRUE(boxes.Boxes().empty()) << "the launcher window shows its own box";
}

} // namespace
} // namespace tarnvale
