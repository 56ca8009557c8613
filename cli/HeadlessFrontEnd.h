#pragma once

#include "app/CUpdateApp.h"

#include <optional>
#include <string>

namespace tarnvale::cli {

struct HeadlessOptions {
    std::string host;               // empty: the built-in connect server
    int port = 0;                   // 0: the built-in port
    std::optional<int> partition;   // 0..9; otherwise asked on the terminal
    std::string gameClient;         // empty: the built-in game client name
    bool noStart = false;           // stop when ready to play
    std::string codePage = "CP936"; // encoding of the message texts
    int connectTimeoutSeconds = 60; // give up when the connect server stays silent
};

// Exit statuses of the headless launcher.
enum HeadlessExit : int {
    kExitStarted = 0,     // the game client was started, or ready with --no-start
    kExitFailed = 1,      // the update or the start failed; the text is on stderr
    kExitUsage = 2,       // bad options
    kExitNoPartition = 3, // no partition could be chosen
};

// Runs the launcher's whole road without a window: connect, update, choose a
// partition, start the game client. The console view stands in for the window.
class HeadlessFrontEnd : public LauncherFrontEnd {
  public:
    explicit HeadlessFrontEnd(HeadlessOptions options) : m_options(std::move(options)) {}
    void RunWindow(LauncherState& state) override;
    int ExitCode() const { return m_exitCode; }

  private:
    HeadlessOptions m_options;
    int m_exitCode = kExitFailed;
};

} // namespace tarnvale::cli
