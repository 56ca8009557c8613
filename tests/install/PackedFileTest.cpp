#include "update/PackedFile.h"
#include "InstallFixtures.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace tarnvale {
namespace {

using test::Put;
using test::Slurp;

using PackedFile = test::TempDirTest;

TEST(PackedFileNaming, FollowsTheSplitPathRule) {
    EXPECT_EQ(UnpackedPathFor("Temp\\Data\\Item.bmd.QXC", "Temp\\Data\\"), "Temp\\Data\\Item.bmd");
    EXPECT_EQ(UnpackedPathFor("a.QXC", "Temp\\"), "Temp\\a");
    EXPECT_EQ(UnpackedPathFor("Temp\\a.QXC", "Out\\Data"), "Out\\a")
        << "a folder without a final separator counts as a file name";
    EXPECT_EQ(UnpackedPathFor("C:\\x\\a.b.QXC", "D:\\y\\"), "D:\\y\\a.b");
    EXPECT_EQ(UnpackedPathFor("Temp/a.QXC", "Temp/"), "Temp/a");
    EXPECT_EQ(PackedPathFor("Data\\Item.bmd", "Out\\"), "Out\\Item.bmd.QXC");
    EXPECT_EQ(PackedPathFor("noext", "C:\\Out\\"), "C:\\Out\\noext.QXC");

    const PathParts parts = SplitPathParts("C:\\a.b\\name.tar.gz");
    EXPECT_EQ(parts.drive, "C:");
    EXPECT_EQ(parts.folder, "\\a.b\\");
    EXPECT_EQ(parts.name, "name.tar");
    EXPECT_EQ(parts.extension, ".gz");
}

TEST_F(PackedFile, UnpacksWhatBzip2Packed) {
    std::filesystem::create_directories("out");
    for (const char* name : {"sample.bin", "zeros.bin", "empty.bin"}) {
        // zeros.bin expands from a few dozen bytes to 6 MB: the decompressor holds
        // far more output than one buffer after its input is used up.
        Put(std::string("in\\") + name + ".QXC", Slurp(test::Fixture(std::string(name) + ".QXC")));
        ASSERT_TRUE(UnpackQxcFile((std::string("in\\") + name + ".QXC").c_str(), "out\\")) << name;
        EXPECT_TRUE(Slurp(std::string("out\\") + name) == Slurp(test::Fixture(name))) << name;
    }
}

TEST_F(PackedFile, PacksExactlyAsBzip2Does) {
    std::filesystem::create_directories("packed");
    std::filesystem::create_directories("back");
    for (const char* name : {"sample.bin", "empty.bin"}) {
        Put(name, Slurp(test::Fixture(name)));
        ASSERT_TRUE(PackQxcFile(name, "packed\\")) << name;
        const std::string ours = Slurp(std::string("packed\\") + name + ".QXC");
        // The same library with block size 9 and work factor 30 writes the same
        // stream as "bzip2 -9".
        EXPECT_TRUE(ours == Slurp(test::Fixture(std::string(name) + ".QXC"))) << name;
        ASSERT_TRUE(UnpackQxcFile((std::string("packed\\") + name + ".QXC").c_str(), "back\\"));
        EXPECT_TRUE(Slurp(std::string("back\\") + name) == Slurp(name));
    }
#ifndef _WIN32
    // And the reference tool reads it back.
    ASSERT_EQ(std::system("bzip2 -dc packed/sample.bin.QXC | cmp -s - sample.bin"), 0);
#endif
}

TEST_F(PackedFile, RefusesTruncatedAndTrailingStreamsWithoutTouchingTheOutput) {
    const std::string packed = Slurp(test::Fixture("sample.bin.QXC"));
    Put("out\\sample.bin", "previous contents");
    const std::string cases[] = {
        packed.substr(0, packed.size() - 1),
        packed.substr(0, packed.size() / 2),
        packed.substr(0, 12288), // exactly one input chunk
        packed.substr(0, 4),
        packed + "x",
        packed + packed, // a second stream after the first
        std::string(),
        "BZh9 not a stream at all",
    };
    for (const std::string& bytes : cases) {
        Put("sample.bin.QXC", bytes);
        EXPECT_FALSE(UnpackQxcFile("sample.bin.QXC", "out\\")) << bytes.size();
        EXPECT_EQ(Slurp("out\\sample.bin"), "previous contents") << bytes.size();
    }
    EXPECT_FALSE(UnpackQxcFile("missing.QXC", "out\\"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("out"))
        ++files;
    EXPECT_EQ(files, 1u) << "no staging file is left behind";
}

TEST_F(PackedFile, RefusesToUnpackAFileOverItself) {
    Put("Temp\\noext", Slurp(test::Fixture("sample.bin.QXC")));
    EXPECT_FALSE(UnpackQxcFile("Temp\\noext", "Temp\\"));
    EXPECT_FALSE(UnpackQxcFile("Temp\\.QXC", "Temp\\"));
    EXPECT_TRUE(Slurp("Temp\\noext") == Slurp(test::Fixture("sample.bin.QXC")));
}

// A window whose Close button is pressed after a number of dispatched messages.
class StoppingWindow : public test::RecordingWindow {
  public:
    StoppingWindow(std::atomic<bool>& stop, int after) : m_stop(stop), m_after(after) {}
    bool PumpMessage() override {
        if (++pumpCount == m_after)
            m_stop = true;
        return false;
    }

  private:
    std::atomic<bool>& m_stop;
    int m_after;
};

TEST_F(PackedFile, WindowFormDispatchesReportsAndStops) {
    Put("Temp\\sample.bin.QXC", Slurp(test::Fixture("sample.bin.QXC")));
    std::atomic<bool> stop{false};
    StoppingWindow window(stop, -1);
    window.fileBar.SetRange(100); // as the road sets it before each file
    ASSERT_TRUE(UnpackQxcFile("Temp\\sample.bin.QXC", "Temp\\", window, stop));
    EXPECT_GT(window.pumpCount, 10);
    EXPECT_EQ(window.fileBar.GetPos(), 100);
    EXPECT_GT(window.refreshCount, 0);

    platform::RemoveFile("Temp\\sample.bin");
    StoppingWindow stopping(stop, 5);
    EXPECT_FALSE(UnpackQxcFile("Temp\\sample.bin.QXC", "Temp\\", stopping, stop));
    EXPECT_EQ(stopping.pumpCount, 5) << "stops at the first dispatch that sees the request";
    EXPECT_FALSE(platform::PathExists("Temp\\sample.bin")) << "partial output removed";

    test::RecordingWindow packWindow;
    Put("big.bin", Slurp(test::Fixture("zeros.bin")));
    ASSERT_TRUE(PackQxcFile("big.bin", "Temp\\", packWindow));
    EXPECT_GE(packWindow.pumpCount, 6000000 / 65536) << "one dispatch per chunk";
}

} // namespace
} // namespace tarnvale
