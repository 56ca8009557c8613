#pragma once

#include "platform/MessageBox.h"
#include "state/LauncherWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarnvale::test {

// Each test runs in a fresh temporary folder that becomes the current directory,
// as the game folder is for the launcher; the folder is removed afterwards.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    const std::filesystem::path& Dir() const { return m_dir; }

  private:
    std::filesystem::path m_previous;
    std::filesystem::path m_dir;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// How many files below `folder` carry a staging name (what a write or download
// keeps until its last byte is there).
int CountStagingFiles(const std::filesystem::path& folder);

// Shortens the transfer limits while it lives, so that a stall test ends within
// seconds; the defaults come back afterwards.
class ShortTransferLimits {
  public:
    explicit ShortTransferLimits(int stallSeconds = 1, int minimumBytesPerSecond = 4096);
    ~ShortTransferLimits();
    ShortTransferLimits(const ShortTransferLimits&) = delete;
    ShortTransferLimits& operator=(const ShortTransferLimits&) = delete;
};

// Records every message box instead of showing it, while it lives.
class MessageBoxRecorder {
  public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned type;
        platform::TextCodePage codePage;
    };
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    const std::vector<Box>& Boxes() const;
    void Reset();
};

// A launcher window that records what the core asks of it.
class RecordingWindow : public LauncherWindow {
  public:
    void SetStatusText(const char* text) override { statusTexts.emplace_back(text); }
    void SetTitleText(const char* text) override { titleTexts.emplace_back(text); }
    void RefreshProgress() override { ++refreshCount; }
    void FinishUpdate() override {
        ++finishCount;
        readyToPlay = true;
        connectPending = false;
    }
    void ResetToConnect() override {
        ++resetCount;
        readyToPlay = false;
        connectPending = true;
    }
    void ShowProgressView() override { ++progressViewCount; }
    void ShowPartitionView() override { ++partitionViewCount; }
    void ShowConnectButton() override { ++connectButtonCount; }
    bool PumpMessage() override {
        ++pumpCount;
        return false;
    }
    void ReportFailure(const StepResult& failure) override { failures.push_back(failure); }

    std::vector<std::string> statusTexts;
    std::vector<std::string> titleTexts;
    std::vector<StepResult> failures;
    int refreshCount = 0, finishCount = 0, resetCount = 0, progressViewCount = 0,
        partitionViewCount = 0, connectButtonCount = 0, pumpCount = 0;
};

} // namespace tarnvale::test
