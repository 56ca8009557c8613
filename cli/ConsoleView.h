#pragma once

#include "cli/TextConverter.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "state/WindowMail.h"
#include "update/UpdateState.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tarnvale::cli {

// The launcher window of the headless launcher: a status line, the two bars with
// their percentages, download speed and time left, and the partition list, on a
// terminal. On a terminal the progress line is redrawn in place; piped to a file,
// it prints one line per step so the log stays readable, and a status that comes
// round again is counted instead of printed. Partitions are numbered from 1.
//
// The terminal belongs to the front end's thread: the workers' reports reach it
// through the view's mail, whose notification the front end's queue delivers.
class ConsoleView : public LauncherWindow {
  public:
    ConsoleView(LauncherState& state, std::FILE* out, bool terminal, const TextConverter& convert);
    ~ConsoleView() override;

    // Dispatches one pending message of the front end's queue; false if none.
    void SetMessagePump(std::function<bool()> pump) { m_pump = std::move(pump); }
    // The workers' way to the front end's thread (WindowMail::Open there first).
    WindowMail& Mail() { return m_mail; }

    void SetStatusText(const char* text) override;
    void SetTitleText(const char* text) override;
    void RefreshProgress() override;
    void FinishUpdate() override;
    void ResetToConnect() override;
    void ShowProgressView() override;
    void ShowPartitionView() override;
    void ShowConnectButton() override;
    bool PumpMessage() override;
    void RunOnWindowThread(std::function<void()> task) override;
    void ReportTransfer(unsigned long long done, unsigned long long total) override;
    // Prints "resuming at N MB of M MB".
    void ReportResume(unsigned long long from, unsigned long long total) override;

    // Prints how many repeated status lines were left out, if any (piped only).
    void FlushRepeats();

    UpdateState update; // the update engine's record, owned by the window
    // The status line; on the front end's thread.
    const std::string& StatusText() const { return m_status; }

  private:
    void Print(const std::string& line);
    std::string ProgressLine() const;
    void PrintStatus(const std::string& text);
    void PrintProgress();
    void PrintPartitions();

    WindowMail m_mail;
    LauncherState& m_state;
    std::FILE* m_out;
    bool m_terminal;
    const TextConverter& m_convert;
    std::function<bool()> m_pump;
    std::string m_status;
    // Piped output: the last statuses printed, and how many repeats were left out.
    static constexpr std::size_t kRecentStatuses = 2;
    std::vector<std::string> m_recent;
    int m_repeats = 0;
    bool m_progressShown = false;
    int m_lastTotal = -1, m_lastFile = -1;

    // Transfer speed over the current file: the bytes since its first report.
    std::chrono::steady_clock::time_point m_transferStart;
    unsigned long long m_transferBase = 0, m_transferDone = 0, m_transferTotal = 0;
};

// "1.2 MB/s" and "0:42 left" for a transfer, or empty parts when unknown.
std::string FormatSpeed(double bytesPerSecond);
std::string FormatTimeLeft(double seconds);

} // namespace tarnvale::cli
