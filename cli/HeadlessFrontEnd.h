#pragma once

#include "app/CUpdateApp.h"
#include "cli/TextConverter.h"

#include <optional>
#include <string>

namespace tarnvale::cli {

struct HeadlessOptions {
    std::string host;               // empty: the built-in connect server
    int port = 0;                   // 0: the built-in port
    std::optional<int> partition;   // index 0..9 (listed as 1..10); otherwise asked
    std::string gameClient;         // empty: the built-in game client name
    bool noStart = false;           // stop when ready to play
    std::string codePage = "CP936"; // encoding of the message texts
    int connectTimeoutSeconds = 60; // give up when the connect server stays silent
};

// Exit statuses of the headless launcher.
enum HeadlessExit : int {
    kExitStarted = 0,     // the game client was started, or ready with --no-start
    kExitFailed = 1,      // the update failed, or the game client could not be started;
                          // the text is on stderr
    kExitUsage = 2,       // bad options
    kExitNoPartition = 3, // no partition could be chosen
};

// Sends the launcher's message boxes to standard error, converted for the
// terminal: texts in the game's code page by `table`, the developer's messages
// from code page 949. `table` must outlive the run.
void InstallMessageBoxPrinter(const TextConverter& table);

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
