#include "cli/HeadlessFrontEnd.h"

#include "app/LauncherSession.h"
#include "cli/ConsoleView.h"
#include "msg/MessageIds.h"
#include "platform/MessageQueue.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace tarnvale::cli {
namespace {

// The console view, plus what the headless loop needs to know about the road.
class HeadlessView : public ConsoleView {
  public:
    using ConsoleView::ConsoleView;
    void ShowConnectButton() override { updateFailed = true; }
    bool updateFailed = false;
};

std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// The partition to start: the option's, or the player's answer on a terminal.
std::optional<int> ChoosePartition(const LauncherState& state, const HeadlessOptions& options,
                                   std::string& why) {
    auto choosable = [&](int i) {
        return i >= 0 && i < kPartitionCount && state.partitions[i].port != 0;
    };
    if (options.partition) {
        if (choosable(*options.partition))
            return options.partition;
        why = "partition " + std::to_string(*options.partition) + " cannot be chosen";
        return std::nullopt;
    }
    int open = 0;
    for (int i = 0; i < kPartitionCount; ++i)
        open += choosable(i);
    if (open == 0) {
        why = "the connect server offers no partition that can be chosen";
        return std::nullopt;
    }
    if (!::isatty(STDIN_FILENO)) {
        why = "no partition chosen: pass --partition N";
        return std::nullopt;
    }
    for (;;) {
        std::printf("Choose a partition: ");
        std::fflush(stdout);
        std::string line;
        if (!std::getline(std::cin, line)) {
            why = "no partition chosen";
            return std::nullopt;
        }
        char* end = nullptr;
        const long choice = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str() && choosable(static_cast<int>(choice)))
            return static_cast<int>(choice);
        std::printf("That partition cannot be chosen.\n");
    }
}

} // namespace

void HeadlessFrontEnd::RunWindow(LauncherState& state) {
    if (!m_options.host.empty()) {
        std::memset(state.connectHost, 0, sizeof state.connectHost);
        std::strncpy(state.connectHost, m_options.host.c_str(), sizeof state.connectHost - 1);
    }
    if (m_options.port > 0)
        state.connectPort = static_cast<std::uint16_t>(m_options.port);

    TextConverter convert(m_options.codePage);
    HeadlessView view(state, stdout, ::isatty(STDOUT_FILENO) != 0, convert);
    view.ShowProgressView(); // the window opens on its progress view

    FrontEndHooks hooks;
    std::atomic<bool> windowClosed{false}; // set from the HTTP worker too
    hooks.requestWindowClose = [&] { windowClosed = true; };
    hooks.closeWindow = [&] {
        windowClosed = true;
        return std::intptr_t{0};
    };
    hooks.runOptionsDialog = [] {
        std::fprintf(stderr, "config.ini is missing: the game starts with its own defaults\n");
    };
    hooks.gameClientExe = m_options.gameClient;

    // The queue outlives the session, so that no worker of the session can be
    // left holding a queue that is gone.
    LauncherSession* running = nullptr;
    platform::MessageQueue queue([&](const platform::QueuedMessage& message) {
        if (running && message.message == kWmSocketNotify)
            running->OnSocketNotify(message.wParam, message.lParam);
    });
    view.SetMessagePump([&] { return queue.DispatchOne(); });
    LauncherSession session(state, view, view.update, hooks);
    running = &session;
    UpdateEngine& engine = session.Engine();
    session.Start(queue.Handle());
    ConnectWorker& worker = session.Worker();

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(m_options.connectTimeoutSeconds);
    bool connected = false;
    auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
        m_exitCode = kExitFailed;
    };
    for (;;) {
        queue.WaitAndDispatchOne(100);
        connected = connected || !view.connectPending;
        if (view.readyToPlay)
            break;
        if (engine.Outcome() == RoadOutcome::HandedOver) {
            // The game start has run after a self-update; the new launcher waits
            // for the next start.
            engine.JoinHttpWorker();
            worker.RequestStop();
            m_exitCode = kExitStarted;
            return;
        }
        if (windowClosed || view.updateFailed || engine.Outcome() == RoadOutcome::Failed) {
            engine.JoinHttpWorker();
            worker.RequestStop();
            fail(convert(view.StatusText()));
            return;
        }
        if (!connected && std::chrono::steady_clock::now() > deadline) {
            worker.RequestStop();
            fail("no answer from the connect server at " + std::string(state.connectHost) + ":" +
                 std::to_string(state.connectPort));
            return;
        }
    }
    engine.JoinHttpWorker();
    worker.RequestStop();
    worker.WaitForEnd(10000);

    std::string why;
    const std::optional<int> partition = ChoosePartition(state, m_options, why);
    if (!partition) {
        std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
        m_exitCode = kExitNoPartition;
        return;
    }
    state.selectedPartition = static_cast<std::uint32_t>(*partition);
    const PartitionEntry& entry = state.partitions[*partition];
    std::printf("Partition %d: %s (%s:%u)\n", *partition,
                convert(FieldText(entry.name, sizeof entry.name)).c_str(),
                FieldText(entry.address, sizeof entry.address).c_str(), entry.port);
    if (m_options.noStart) {
        std::printf("Ready to play; not starting the game client (--no-start).\n");
        m_exitCode = kExitStarted;
        return;
    }
    view.ShowProgressView();
    session.OnConnect(); // ends the process once started
    // Only a failure to store the connection parameters comes back here.
    fail(convert(state.Text(msgid::kCannotStoreParameters)));
}

} // namespace tarnvale::cli
