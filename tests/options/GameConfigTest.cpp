#include "options/GameConfig.h"
#include "OptionsTestSupport.h"
#include "options/OptionControls.h"
#include "options/WindowModeValue.h"

namespace tarnvale {
namespace {

using options::GameConfig;

class GameConfigKey : public test::OptionsTest {
  protected:
    // What the options dialog does between loading and saving when the player
    // changes nothing: the check boxes show the flags and are read back.
    static void ThroughTheCheckBoxes(GameConfig& config) {
        for (std::int32_t* flag : {&config.soundOnOff, &config.musicOnOff, &config.windowMode})
            *flag = options::FlagOf(options::IsFlagSet(*flag));
    }
};

TEST_F(GameConfigKey, FirstRunStoresTheInitialValuesAndKeepsTheLaunchersWindowMode) {
    // The launcher window creates the key with "WindowMode" before the dialog opens.
    EXPECT_EQ(options::PrepareWindowModeValue(where), 0u);
    GameConfig config;
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    EXPECT_TRUE(boxes.Boxes().empty());

    EXPECT_EQ(config.accountId, "");
    EXPECT_EQ(config.soundOnOff, 1);
    EXPECT_EQ(config.musicOnOff, 1);
    EXPECT_EQ(config.resolution, options::kResolution1024x768);
    EXPECT_EQ(config.colorDepth, options::kColorDepth16);
    EXPECT_EQ(config.windowMode, 0);
    EXPECT_EQ(options::ResolutionButton(config.resolution), IDC_RES1024);
    EXPECT_EQ(options::ColorDepthButton(config.colorDepth), IDC_DEPTH16);

    // Nothing more is written until a save, so this is also what a cancel leaves.
    EXPECT_EQ(Stored(), "ID= Sound=1 Music=1 Resolution=2 Depth=0 Window=0");
#ifdef _WIN32
    EXPECT_EQ(test::ReadRawValue("", where.path, "ID")->data, std::string(1, '\0'))
        << "the text is stored with its terminating zero";
#else
    // The values are written in the order they are read, after the launcher's.
    const std::string hive = test::ReadFile(HiveFile(false));
    EXPECT_NE(hive.find("\"WindowMode\"=dword:00000000\n\"ID\"=sz:\"\"\n"
                        "\"SoundOnOff\"=dword:00000001\n\"MusicOnOff\"=dword:00000001\n"
                        "\"Resolution\"=dword:00000002\n\"ColorDepth\"=dword:00000000\n"),
              std::string::npos)
        << hive;
#endif

    // Opening the dialog again reads the same and writes nothing new.
    GameConfig again;
    again.soundOnOff = 0;
    ASSERT_TRUE(options::LoadGameConfig(again, messages, where));
    EXPECT_EQ(again.soundOnOff, 1);
}

TEST_F(GameConfigKey, StoredValuesLoadUnvalidatedAndSaveValidated) {
    StoreString("ID", "player");
    StoreDword("SoundOnOff", 5);
    StoreDword("MusicOnOff", 5);
    StoreDword("Resolution", 7);
    StoreDword("ColorDepth", 0xFFFFFFFF);
    StoreDword("WindowMode", 1);

    GameConfig config;
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    EXPECT_EQ(config.accountId, "player");
    EXPECT_EQ(config.musicOnOff, 5) << "the dialog shows what is stored";
    EXPECT_EQ(config.resolution, 7);
    EXPECT_EQ(config.colorDepth, -1);
    EXPECT_EQ(config.windowMode, 1);
    EXPECT_EQ(options::ResolutionButton(config.resolution), 0) << "no resolution is checked";
    EXPECT_EQ(options::ColorDepthButton(config.colorDepth), 0);
    EXPECT_EQ(Dword("Resolution"), 7u) << "loading corrects nothing in the key";

    ThroughTheCheckBoxes(config);
    ASSERT_TRUE(options::SaveGameConfig(config, messages, where));
    EXPECT_TRUE(boxes.Boxes().empty());
    // Check boxes save 0 or 1; resolution, music and colour depth are validated.
    EXPECT_EQ(Stored(), "ID=player Sound=1 Music=1 Resolution=2 Depth=0 Window=1");
}

TEST_F(GameConfigKey, ResolutionZeroLoadsAsTheSmallest) {
    StoreDword("Resolution", 0);
    GameConfig config;
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    EXPECT_EQ(config.resolution, options::kResolution800x600);
    EXPECT_EQ(options::ResolutionButton(config.resolution), IDC_RES800);
}

TEST_F(GameConfigKey, UnreadableValuesAreReplacedWithTheInitialOnes) {
    const std::string fits(63, 'a'); // with its zero, exactly the 64-byte buffer
    StoreString("ID", fits);
    GameConfig config;
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    EXPECT_EQ(config.accountId, fits);
    EXPECT_EQ(String("ID"), fits);

    StoreString("ID", std::string(64, 'b'));
    StoreString("SoundOnOff", "1"); // a text where a number belongs
    StoreDword("MusicOnOff", 0);
    config = GameConfig{};
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    EXPECT_EQ(config.accountId, "");
    EXPECT_EQ(String("ID"), "") << "an ID of 64 bytes or more is replaced";
    EXPECT_EQ(config.soundOnOff, 1);
    EXPECT_EQ(Dword("SoundOnOff"), 1u) << "now a number";
    EXPECT_EQ(config.musicOnOff, 0) << "readable values are kept";

    StoreDword("ID", 42);
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    EXPECT_EQ(String("ID"), "") << "a number where the text belongs is replaced too";
}

TEST_F(GameConfigKey, SaveWritesTheFieldsAsTheyAre) {
    GameConfig config;
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    config.accountId = "abcdefghij";
    config.soundOnOff = 0;
    config.musicOnOff = 0;
    config.resolution = options::ResolutionOfButton(IDC_RES1920);
    config.colorDepth = options::ColorDepthOfButton(IDC_DEPTH32);
    config.windowMode = 1;
    ASSERT_TRUE(options::SaveGameConfig(config, messages, where));
    EXPECT_EQ(Stored(), "ID=abcdefghij Sound=0 Music=0 Resolution=4 Depth=1 Window=1");
    // The launcher window's own reading agrees.
    EXPECT_EQ(options::PrepareWindowModeValue(where), 1u);
}

TEST_F(GameConfigKey, KeyThatCannotBeOpenedShowsTheBoxAndWritesNothing) {
    const options::ConfigKeyLocation bad = BadLocation();
    GameConfig config;
    config.soundOnOff = 0;
    EXPECT_FALSE(options::LoadGameConfig(config, messages, bad));
    EXPECT_TRUE(ShowedOneKeyErrorBox());
    EXPECT_EQ(config.soundOnOff, 0) << "nothing was read";

    boxes.Reset();
    EXPECT_FALSE(options::SaveGameConfig(config, messages, bad));
    EXPECT_TRUE(ShowedOneKeyErrorBox());
    platform::RegistryKey key;
    EXPECT_FALSE(key.Open(where.root, BadLocation().path)) << "the key was not created";
}

#ifndef _WIN32
TEST_F(GameConfigKey, DamagedHiveIsLeftAloneAndReported) {
    const std::string damaged = "tarnvale-registry-hive 1\n[\"K\"]\n\"V\"=dword:12";
    test::WriteFile(HiveFile(false), damaged);
    GameConfig config;
    EXPECT_FALSE(options::LoadGameConfig(config, messages, where));
    EXPECT_TRUE(ShowedOneKeyErrorBox());
    boxes.Reset();
    EXPECT_FALSE(options::SaveGameConfig(config, messages, where));
    EXPECT_TRUE(ShowedOneKeyErrorBox());
    EXPECT_EQ(test::ReadFile(HiveFile(false)), damaged);
}

TEST_F(GameConfigKey, ValuesThatCannotBeWrittenAreReported) {
    GameConfig config;
    ASSERT_TRUE(options::LoadGameConfig(config, messages, where));
    // The hive is replaced through a temporary sibling; a folder in its place makes
    // every write fail while the key still opens.
    std::filesystem::create_directory(HiveFile(false) + ".tmp" + std::to_string(::getpid()));
    config.soundOnOff = 0;
    EXPECT_FALSE(options::SaveGameConfig(config, messages, where));
    EXPECT_TRUE(ShowedOneKeyErrorBox()) << "the player learns the options were not saved";
    EXPECT_EQ(Dword("SoundOnOff"), 1u);
}
#endif

} // namespace
} // namespace tarnvale
