#include "platform/Shortcut.h"
#include "app/DesktopShortcut.h"
#include "platform/Files.h"
#include "support/TestSupport.h"
#include "tarnvale/settings.h"

#include <filesystem>

namespace tarnvale {
namespace {

TEST(RemoveFileSpec, CutsTheLastNameButKeepsARoot) {
    EXPECT_EQ(RemoveFileSpec("C:\\Games\\Launcher\\Tarnvale.exe"), "C:\\Games\\Launcher");
    EXPECT_EQ(RemoveFileSpec("C:\\Games\\Launcher\\"), "C:\\Games\\Launcher");
    EXPECT_EQ(RemoveFileSpec("C:\\Tarnvale.exe"), "C:\\");
    EXPECT_EQ(RemoveFileSpec("C:Tarnvale.exe"), "C:");
    EXPECT_EQ(RemoveFileSpec("\\Tarnvale.exe"), "\\");
    EXPECT_EQ(RemoveFileSpec("\\\\server\\share\\Tarnvale.exe"), "\\\\server\\share");
    EXPECT_EQ(RemoveFileSpec("/home/player/game/launcher"), "/home/player/game");
    EXPECT_EQ(RemoveFileSpec("/launcher"), "/");
    EXPECT_EQ(RemoveFileSpec("Tarnvale.exe"), "");
    EXPECT_EQ(RemoveFileSpec(""), "");
}

// Shortcuts are written into the test's own folder, never onto the real desktop.
class ShortcutTest : public test::TempDirTest {
  protected:
    // A real file for a shortcut to point at, by its full path.
    std::string Program(const char* folder, const char* name) {
        std::filesystem::create_directories(Dir() / folder);
        const std::filesystem::path path = Dir() / folder / name;
        test::WriteFile(path, "MZ");
        return path.string();
    }
    // Joined as the launcher joins it, so that a name in the system's code page
    // reaches the file system the same way.
    std::string LinkPath(const std::string& name) const {
        return Dir().string() + "\\" + platform::ShortcutFileName(name);
    }
};

TEST_F(ShortcutTest, ReadsBackWhatWasWrittenAndIsReplacedByTheNextWrite) {
    const std::string first = Program("Game Folder", "first.exe");
    const std::string second = Program("Other", "second.exe");
    const std::string link = LinkPath("link");
    ASSERT_TRUE(platform::WriteShortcut(link, first, RemoveFileSpec(first)));
    std::string target, folder;
    ASSERT_TRUE(platform::ReadShortcut(link, target, folder));
    EXPECT_EQ(target, first);
    EXPECT_EQ(folder, RemoveFileSpec(first));

    ASSERT_TRUE(platform::WriteShortcut(link, second, RemoveFileSpec(second)));
    ASSERT_TRUE(platform::ReadShortcut(link, target, folder));
    EXPECT_EQ(target, second);
    EXPECT_EQ(folder, RemoveFileSpec(second));

    EXPECT_FALSE(platform::ReadShortcut(LinkPath("missing"), target, folder));
    test::WriteFile(LinkPath("garbage"), "not a shortcut at all");
    EXPECT_FALSE(platform::ReadShortcut(LinkPath("garbage"), target, folder));
}

TEST_F(ShortcutTest, TheLaunchersShortcutPointsAtTheRunningProgramWhateverItsName) {
    const std::string desktop = Dir().string();
    const std::string elsewhere = Program("Elsewhere", "old.exe");
    const std::string link = LinkPath(settings::kLauncherName);
    // A stale shortcut of the same name, pointing elsewhere, is replaced.
    ASSERT_TRUE(platform::WriteShortcut(link, elsewhere, RemoveFileSpec(elsewhere)));

    const std::string launcher = Program("Launcher", "renamed launcher.exe");
    CreateDesktopShortcut(launcher, desktop);
    std::string target, folder;
    ASSERT_TRUE(platform::ReadShortcut(link, target, folder));
    EXPECT_EQ(target, launcher);
    EXPECT_EQ(folder, (Dir() / "Launcher").string());
    EXPECT_FALSE(platform::PathExists(LinkPath("renamed launcher")));
}

TEST_F(ShortcutTest, NoDesktopOrNoModulePathWritesNothing) {
    CreateDesktopShortcut(Program("Launcher", "launcher.exe"), "");
    CreateDesktopShortcut("", Dir().string());
    EXPECT_FALSE(platform::PathExists(LinkPath(settings::kLauncherName)));
}

} // namespace
} // namespace tarnvale
