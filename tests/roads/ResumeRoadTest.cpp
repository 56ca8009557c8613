// Interrupted downloads go on where they stopped: a server that breaks the
// connection at chosen points, one that ignores ranges and one whose file changes
// between tries; the installed tree is exact every time and the bytes the server
// sent stay within the file's size plus what was in flight at each cut.
#include "RoadTestSupport.h"

#include "msg/MessageIds.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace tarnvale::test {
namespace {

namespace fs = std::filesystem;

// Bytes that do not compress, so that the archive is about as large as they are.
std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

class ResumeRoadTest : public RoadTest {
  protected:
    // Instructions for the HTTP server's next answers (see http_server.py).
    void Plan(const std::string& lines) { WriteFile(OnServer(".plan"), lines); }

    // What the HTTP server sent of files called `name`, in all.
    std::uint64_t Sent(const std::string& name) const {
        std::ifstream in(OnServer(".sent"));
        std::string file;
        std::uint64_t bytes = 0;
        std::uint64_t total = 0;
        while (in >> file >> bytes)
            total += file == name ? bytes : 0;
        return total;
    }

    // Runs the HTTP road until it finishes, at most `tries` times.
    int RunHttpUntilDone(int tries) {
        for (int run = 1; run <= tries; ++run) {
            UpdateEngine engine(launcher, update, window, Hooks());
            if (RunHttp(engine) == RoadOutcome::Finished)
                return run;
        }
        return 0;
    }

    std::uint64_t ArchiveSize(const std::string& version) const {
        return fs::file_size(OnServer(version + "/up_list.zip"));
    }
};

// What a cut may cost beyond the file: the bytes in flight when it broke.
constexpr std::uint64_t kInFlight = 512 * 1024;

TEST_F(ResumeRoadTest, AnArchiveCutShortGoesOnWhereItStopped) {
    struct Case {
        const char* name;
        std::string plan;
        int cuts;
        bool ranges; // false: the server ignores Range
    };
    const std::vector<Case> cases = {
        {"cut at 10 %", "cut up_list.zip 0.1\n", 1, true},
        {"cut at 50 %", "cut up_list.zip 0.5\n", 1, true},
        {"cut at 99 %", "cut up_list.zip 0.99\n", 1, true},
        {"cut twice in a row", "cut up_list.zip 0.3\ncut up_list.zip 0.6\n", 2, true},
        {"a server without ranges", "norange up_list.zip\ncut up_list.zip 0.5\n", 1, false},
    };
    const std::string big = Noise(3 << 20, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(OnServer(""));
        fs::create_directories(OnServer(""));
        for (const fs::path& p : {fs::path("big.bin"), fs::path("config.ini"), fs::path("Temp")})
            fs::remove_all(p);
        SetLocalVersion("1.00.00");
        Publish("1.00.01", {{"big.bin", big}, {"small.txt", "small"}});
        Plan(c.plan);
        window.failures.clear();
        EXPECT_EQ(RunHttpUntilDone(c.cuts + 1), c.cuts + 1);
        EXPECT_EQ(window.failures.size(), static_cast<std::size_t>(c.cuts));
        EXPECT_TRUE(ReadFile("big.bin") == big);
        EXPECT_EQ(ReadFile("small.txt"), "small");
        EXPECT_EQ(ConfigVersion(), "1.00.01");
        EXPECT_FALSE(fs::exists("Temp/up_list.zip.~tvpart"));
        EXPECT_FALSE(fs::exists("Temp/up_list.zip.~tvresume"));
        const std::uint64_t size = ArchiveSize("1.00.01");
        const std::uint64_t sent = Sent("up_list.zip");
        if (c.ranges) {
            EXPECT_LE(sent, size + c.cuts * kInFlight);
        } else {
            EXPECT_GE(sent, size + size / 2 - kInFlight) << "every try starts from zero";
        }
    }
}

// Between two tries the operator replaced the archive: the partial of the old
// one is never continued with bytes of the new one.
TEST_F(ResumeRoadTest, AnArchiveChangedBetweenTriesStartsOver) {
    const std::string first = Noise(2 << 20, 1);
    const std::string second = Noise(2 << 20, 2);
    Publish("1.00.01", {{"big.bin", second}});
    const std::string newer = ReadFile(OnServer("1.00.01/up_list.zip"));
    fs::remove_all(OnServer(""));
    fs::create_directories(OnServer(""));
    Publish("1.00.01", {{"big.bin", first}});

    Plan("cut up_list.zip 0.5\n");
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_EQ(RunHttp(engine), RoadOutcome::Failed);
    EXPECT_TRUE(fs::exists("Temp/up_list.zip.~tvpart"));
    WriteFile(OnServer("1.00.01/up_list.zip"), newer);
    EXPECT_EQ(RunHttpUntilDone(1), 1);
    EXPECT_TRUE(ReadFile("big.bin") == second);
}

// A large file of a file-by-file version cut short over FTP: the next try asks
// the server to start after the bytes already there (REST).
TEST_F(ResumeRoadTest, AnFtpFileCutShortGoesOnWithRest) {
    const std::string big = Noise(3 << 20, 3);
    Publish("1.00.01", {{"cutonce-big.bin", big}, {"small.txt", "small"}},
            [](tools::PatchVersion& v) { v.packed = false; });
    {
        UpdateEngine engine(launcher, update, window, Hooks());
        EXPECT_FALSE(RunFtp(engine));
    }
    EXPECT_EQ(fs::file_size("Temp/cutonce-big.bin.~tvpart"), big.size() / 2);
    UpdateEngine engine(launcher, update, window, Hooks());
    EXPECT_TRUE(RunFtp(engine)) << window.failures.back().Detail();
    EXPECT_TRUE(ReadFile("cutonce-big.bin") == big);
    EXPECT_EQ(ReadFile("small.txt"), "small");
    EXPECT_EQ(ReadFile(OnServer("1.00.01/.rest-log")),
              "cutonce-big.bin " + std::to_string(big.size() / 2) + "\n");
    EXPECT_FALSE(fs::exists("Temp/cutonce-big.bin.~tvpart"));
    EXPECT_FALSE(fs::exists("Temp/cutonce-big.bin.~tvresume"));
}

} // namespace
} // namespace tarnvale::test
