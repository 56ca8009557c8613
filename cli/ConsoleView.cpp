#include "cli/ConsoleView.h"

#include "app/WindowSteps.h"
#include "app/WindowTexts.h"
#include "msg/MessageIds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarnvale::cli {

ConsoleView::ConsoleView(LauncherState& state, std::FILE* out, bool terminal,
                         const TextConverter& convert)
    : m_state(state), m_out(out), m_terminal(terminal), m_convert(convert) {}

ConsoleView::~ConsoleView() {
    FlushRepeats();
}

void ConsoleView::Print(const std::string& line) {
    FlushRepeats();
    if (m_terminal && m_progressShown)
        std::fputs("\r\033[K", m_out); // the progress line gives way to the message
    m_progressShown = false;
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

void ConsoleView::SetStatusText(const char* text) {
    m_mail.Run(WindowMail::kStatusLine, [this, line = std::string(text)] { PrintStatus(line); });
}

void ConsoleView::PrintStatus(const std::string& text) {
    if (m_status == text)
        return;
    m_status = text;
    // Piped to a log, a status that comes round again (the connect worker's
    // "connecting" and "retrying", once a second) is counted, not printed again.
    if (!m_terminal && std::find(m_recent.begin(), m_recent.end(), m_status) != m_recent.end()) {
        ++m_repeats;
        return;
    }
    Print(m_convert(m_status));
    m_recent.push_back(m_status);
    if (m_recent.size() > kRecentStatuses)
        m_recent.erase(m_recent.begin());
}

void ConsoleView::FlushRepeats() {
    if (m_repeats == 0)
        return;
    const int repeats = m_repeats;
    m_repeats = 0;
    std::fprintf(m_out, "  (%d more status line%s like the above)\n", repeats,
                 repeats == 1 ? "" : "s");
    std::fflush(m_out);
}

void ConsoleView::SetTitleText(const char* text) {
    m_mail.Run(WindowMail::kTitleLine,
               [this, line = std::string(text)] { Print("== " + m_convert(line) + " =="); });
}

std::string FormatSpeed(double bytesPerSecond) {
    if (!(bytesPerSecond > 0))
        return {};
    const char* units[] = {"B/s", "KB/s", "MB/s", "GB/s"};
    int unit = 0;
    while (bytesPerSecond >= 1024 && unit < 3) {
        bytesPerSecond /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytesPerSecond,
                  units[unit]);
    return text;
}

std::string FormatTimeLeft(double seconds) {
    if (!(seconds >= 0) || seconds > 360000)
        return {};
    const auto whole = static_cast<long>(std::lround(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld left", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld left", whole / 60, whole % 60);
    return text;
}

std::string ConsoleView::ProgressLine() const {
    auto bar = [](int percent) {
        const int filled = std::min(percent, 100) / 5;
        return "[" + std::string(filled, '#') + std::string(20 - filled, '.') + "]";
    };
    const int total = ProgressPercent(totalBar.GetPos(), totalBar.GetRange());
    const int file = ProgressPercent(fileBar.GetPos(), fileBar.GetRange());
    char text[160];
    std::snprintf(text, sizeof text, "total %s %3d%%  file %s %3d%%", bar(total).c_str(), total,
                  bar(file).c_str(), file);
    std::string line = text;

    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_transferStart).count();
    if (m_transferDone > 0 && elapsed > 0.2) {
        const double speed = static_cast<double>(m_transferDone - m_transferBase) / elapsed;
        line += "  " + FormatSpeed(speed);
        if (m_transferTotal >= m_transferDone && speed > 0)
            line += "  " +
                    FormatTimeLeft(static_cast<double>(m_transferTotal - m_transferDone) / speed);
    }
    return line;
}

void ConsoleView::RefreshProgress() {
    m_mail.Run(WindowMail::kProgress, [this] { PrintProgress(); });
}

void ConsoleView::PrintProgress() {
    if (m_state.progressView.load() == 0)
        return; // the partition view shows no percentages
    const int total = ProgressPercent(totalBar.GetPos(), totalBar.GetRange());
    const int file = ProgressPercent(fileBar.GetPos(), fileBar.GetRange());
    if (m_terminal) {
        std::fprintf(m_out, "\r\033[K%s", ProgressLine().c_str());
        std::fflush(m_out);
        m_progressShown = true;
    } else if (total != m_lastTotal || file / 25 != m_lastFile / 25) {
        Print(ProgressLine());
    }
    m_lastTotal = total;
    m_lastFile = file;
}

void ConsoleView::ReportTransfer(unsigned long long done, unsigned long long total) {
    // The time a file began is taken when the report is made, not when it is shown.
    const auto now = std::chrono::steady_clock::now();
    m_mail.Run(WindowMail::kTransfer, [this, done, total, now] {
        if (done < m_transferDone || m_transferDone == 0) {
            // A new file began; a resumed one starts far from 0, and only what
            // comes from now on counts for its speed.
            m_transferStart = now;
            m_transferBase = done;
        }
        m_transferDone = done;
        m_transferTotal = total;
    });
}

void ConsoleView::ReportResume(unsigned long long from, unsigned long long total) {
    char line[96];
    std::snprintf(line, sizeof line, "resuming at %.1f MB of %.1f MB",
                  static_cast<double>(from) / 1e6, static_cast<double>(total) / 1e6);
    m_mail.Run(WindowMail::kInOrder, [this, text = std::string(line)] { Print(text); });
}

void ConsoleView::FinishUpdate() {
    m_mail.Run(WindowMail::kInOrder, [this] { FinishUpdateSteps(*this, m_state, update); });
}

void ConsoleView::ResetToConnect() {
    m_mail.Run(WindowMail::kInOrder, [this] { ResetToConnectSteps(*this, m_state); });
}

void ConsoleView::ShowProgressView() {
    m_mail.Run(WindowMail::kInOrder, [this] {
        m_state.progressView = 1;
        SetTitleText(ProgressTitle(m_state).c_str());
    });
}

void ConsoleView::ShowPartitionView() {
    m_mail.Run(WindowMail::kInOrder, [this] { PrintPartitions(); });
}

void ConsoleView::PrintPartitions() {
    m_state.progressView = 0;
    Print("Partitions:");
    for (int i = 0; i < kPartitionCount; ++i) {
        const PartitionEntry& entry = m_state.partitions[i];
        const std::string name = FieldText(entry.name);
        if (name.empty() && entry.port == 0)
            continue;
        char line[160];
        // Numbered from 1, as the connect server's configuration numbers them.
        std::snprintf(line, sizeof line, "  %d) %-31s %s:%u%s", i + 1, m_convert(name).c_str(),
                      FieldText(entry.address).c_str(), entry.port, entry.port ? "" : "  (closed)");
        Print(line);
    }
}

void ConsoleView::ShowConnectButton() {
    // The headless launcher has no button: the failure text already stands in the
    // status line, and the front end ends the run with it.
}

void ConsoleView::RunOnWindowThread(std::function<void()> task) {
    m_mail.Run(WindowMail::kInOrder, std::move(task));
}

bool ConsoleView::PumpMessage() {
    return m_pump ? m_pump() : false;
}

} // namespace tarnvale::cli
