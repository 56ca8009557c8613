#include "cli/ConsoleView.h"
#include "msg/MessageFile.h"
#include "tarnvale/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarnvale::cli {
namespace {

class ConsoleViewTest : public ::testing::Test {
  protected:
    ConsoleViewTest() : convert("UTF-8") {
        state.messages.LoadFromMemory(msg::SerializeMessageFile(
            {{102, "Connecting"}, {126, "Choose a server"}}, settings::kMessageKey));
        out = open_memstream(&buffer, &size);
    }
    ~ConsoleViewTest() override {
        std::fclose(out);
        std::free(buffer);
    }
    std::string Output() {
        std::fflush(out);
        return std::string(buffer, size);
    }
    static void SetPartition(PartitionEntry& entry, const char* name, const char* address,
                             std::uint16_t port) {
        // As the wire delivers them: zero-padded, and a full-width text unterminated.
        std::memset(entry.name, 0, sizeof entry.name);
        std::memset(entry.address, 0, sizeof entry.address);
        std::memcpy(entry.name, name, std::min(std::strlen(name), sizeof entry.name));
        std::memcpy(entry.address, address, std::min(std::strlen(address), sizeof entry.address));
        entry.port = port;
    }

    LauncherState state;
    TextConverter convert;
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = nullptr;
};

TEST_F(ConsoleViewTest, PipedProgressPrintsOneLinePerStep) {
    ConsoleView view(state, out, false, convert);
    view.ShowProgressView();
    view.fileBar.SetRange(100);
    for (int pos = 0; pos <= 100; ++pos) {
        view.fileBar.SetPos(pos);
        view.RefreshProgress();
    }
    const std::string text = Output();
    EXPECT_EQ(text.find('\r'), std::string::npos) << "no terminal control in a log";
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    EXPECT_GE(lines, 4);
    EXPECT_LE(lines, 8) << text;
    EXPECT_NE(text.find("100%"), std::string::npos);
}

TEST_F(ConsoleViewTest, TerminalProgressRedrawsInPlace) {
    ConsoleView view(state, out, true, convert);
    view.ShowProgressView();
    view.fileBar.SetRange(100);
    view.fileBar.SetPos(30);
    view.RefreshProgress();
    view.SetStatusText("next");
    const std::string text = Output();
    EXPECT_NE(text.find("\r\033[K"), std::string::npos);
    EXPECT_NE(text.find("30%"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 5), "next\n");
}

TEST_F(ConsoleViewTest, FinishUpdateShowsThePartitions) {
    ConsoleView view(state, out, false, convert);
    SetPartition(state.partitions[0], "North", "10.0.0.1", 55901);
    SetPartition(state.partitions[3], "Closed", "10.0.0.4", 0);
    view.ShowProgressView();
    view.FinishUpdate();
    EXPECT_TRUE(view.readyToPlay);
    EXPECT_FALSE(view.connectPending);
    EXPECT_TRUE(view.update.updateDone);
    EXPECT_EQ(state.connectWorkerStop.load(), 1u);
    EXPECT_EQ(state.progressView.load(), 0u);
    const std::string text = Output();
    EXPECT_NE(text.find("Choose a server"), std::string::npos);
    // Numbered from 1, as the connect server's configuration numbers them.
    EXPECT_NE(text.find("  1) North"), std::string::npos);
    EXPECT_NE(text.find("10.0.0.1:55901"), std::string::npos);
    EXPECT_NE(text.find("  4) Closed"), std::string::npos);
    EXPECT_NE(text.find("(closed)"), std::string::npos);
    EXPECT_EQ(text.find("2) "), std::string::npos) << "empty entries are not listed";
}

// Piped, the connect worker's two alternating statuses, once a second for a
// minute, are printed once each and then counted.
TEST_F(ConsoleViewTest, PipedRepeatedStatusesArePrintedOnceWithACount) {
    ConsoleView view(state, out, false, convert);
    for (int attempt = 0; attempt < 60; ++attempt) {
        view.SetStatusText("Connecting");
        view.SetStatusText("Retrying");
    }
    view.SetStatusText("Connected");
    const std::string text = Output();
    EXPECT_EQ(text, "Connecting\nRetrying\n  (118 more status lines like the above)\nConnected\n");

    // On a terminal every status is shown; the line is redrawn anyway.
    std::fclose(out);
    std::free(buffer);
    buffer = nullptr;
    out = open_memstream(&buffer, &size);
    ConsoleView terminal(state, out, true, convert);
    for (int attempt = 0; attempt < 3; ++attempt) {
        terminal.SetStatusText("Connecting");
        terminal.SetStatusText("Retrying");
    }
    EXPECT_EQ(Output().find("more status lines"), std::string::npos);
}

TEST_F(ConsoleViewTest, TitleNamesTheChosenPartition) {
    ConsoleView view(state, out, false, convert);
    view.ShowProgressView();
    SetPartition(state.partitions[2], std::string(32, 'x').c_str(), "10.0.0.3", 1);
    state.selectedPartition = 2;
    view.ShowProgressView();
    const std::string text = Output();
    EXPECT_NE(text.find("Tarnvale"), std::string::npos) << "no partition chosen yet";
    EXPECT_NE(text.find(std::string(32, 'x')), std::string::npos)
        << "a full-width name without terminator is read within its field";
    EXPECT_EQ(text.find(std::string(33, 'x')), std::string::npos);
}

TEST(ConsoleFormat, SpeedAndTimeLeft) {
    EXPECT_EQ(FormatSpeed(0), "");
    EXPECT_EQ(FormatSpeed(512), "512 B/s");
    EXPECT_EQ(FormatSpeed(1.5 * 1024 * 1024), "1.5 MB/s");
    EXPECT_EQ(FormatTimeLeft(42), "0:42 left");
    EXPECT_EQ(FormatTimeLeft(3725), "1:02:05 left");
    EXPECT_EQ(FormatTimeLeft(-1), "");
}

} // namespace
} // namespace tarnvale::cli
