#include "cli/HeadlessFrontEnd.h"

#include "cli/ConsoleView.h"
#include "launch/GameStart.h"
#include "msg/MessageIds.h"
#include "net/ConnectServerDispatcher.h"
#include "net/ConnectWorker.h"
#include "net/UpdateRoads.h"
#include "platform/Files.h"
#include "platform/MessageQueue.h"
#include "platform/ProgramStart.h"
#include "tarnvale/settings.h"
#include "update/Installation.h"
#include "update/PatchList.h"
#include "update/UpdateEngine.h"
#include "update/VersionConfig.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace tarnvale::cli {
namespace {

// The connect-server protocol starts the roads through this narrow interface.
class EngineRoads : public UpdateRoads {
  public:
    explicit EngineRoads(UpdateEngine& engine) : m_engine(engine) {}
    bool StartFtpUpdate(const char* address, std::uint16_t port, const char* name,
                        const char* password, const char* versionFile) override {
        return m_engine.StartFtpUpdate(address, port, name, password, versionFile);
    }
    void StoreHttpServer(const char* address, std::uint16_t port, const char* name,
                         const char* password, const char* versionFile) override {
        m_engine.StoreHttpServer(address, port, name, password, versionFile);
    }
    bool StartHttpUpdate() override { return m_engine.StartHttpUpdate() != 0; }

  private:
    UpdateEngine& m_engine;
};

// The console view, plus what the headless loop needs to know about the road.
class HeadlessView : public ConsoleView {
  public:
    using ConsoleView::ConsoleView;
    void ShowConnectButton() override { updateFailed = true; }
    // The HTTP road reports from its worker thread.
    void ReportFailure(const StepResult& failure) override {
        std::lock_guard guard(m_failureLock);
        m_failure = failure;
    }
    StepResult Failure() const {
        std::lock_guard guard(m_failureLock);
        return m_failure;
    }
    bool updateFailed = false;

  private:
    mutable std::mutex m_failureLock;
    StepResult m_failure;
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
    const std::string gameFolder = platform::CurrentDirectory();
    ReadLocalVersion(state, view.update, gameFolder);

    state.socketClient.Startup();
    platform::RemoveFile(std::string(settings::kLauncherName) + ".tmp");
    platform::MakeDirectory(kStagingFolder);

    GameStartHooks hooks;
    if (!m_options.gameClient.empty())
        hooks.gameClientExe = m_options.gameClient.c_str();
    std::atomic<bool> windowClosed{false}; // set from the HTTP worker too
    hooks.closeSocket = [&] { state.socketClient.Close(); };
    hooks.cleanTempFolder = [] { CleanTempFolder(); };
    hooks.isConfigPresent = [] { return platform::PathExists(kConfigIniName); };
    hooks.runOptionsDialog = [] {
        std::fprintf(stderr, "config.ini is missing: the game starts with its own defaults\n");
    };
    hooks.closeWindow = [&] {
        windowClosed = true;
        return std::intptr_t{0};
    };
    hooks.endProcess = [](unsigned code) { platform::EndProcess(code); };

    UpdateEngineHooks engineHooks;
    engineHooks.startAfterSelfUpdate = [&] { StartAfterSelfUpdate(state, hooks); };
    engineHooks.requestWindowClose = [&] { windowClosed = true; };
    engineHooks.closeConnectServer = [&] { state.socketClient.Close(); };
    UpdateEngine engine(state, view.update, view, engineHooks);
    hooks.closeFtpSession = [&] { engine.CloseFtpSession(); };
    EngineRoads roads(engine);
    ConnectServerDispatcher dispatcher(state, view, view.update, roads);

    // A connect server that closes the connection before it has answered is
    // reported, not waited on. Whatever it sent before closing is read first.
    bool closedByServer = false;
    platform::MessageQueue queue([&](const platform::QueuedMessage& message) {
        if (message.message != kWmSocketNotify)
            return;
        if (platform::NoticeEvent(message.lParam) == platform::kFdClose) {
            dispatcher.OnSocketNotify(message.wParam, platform::MakeNotice(platform::kFdRead, 0));
            closedByServer = true;
        }
        dispatcher.OnSocketNotify(message.wParam, message.lParam);
    });
    view.SetMessagePump([&] { return queue.DispatchOne(); });

    ConnectWorker worker(state, view, queue.Handle());
    view.connectPending = true;
    worker.Start();

    // The whole wait for the connect server's answer has an end, not only the
    // connection itself: a server may accept and then stay silent or send only
    // packets that are not an answer.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(m_options.connectTimeoutSeconds);
    bool connected = false;
    auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
        m_exitCode = kExitFailed;
    };
    const std::string server =
        std::string(state.connectHost) + ":" + std::to_string(state.connectPort);
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
            // The player's text of the failing step, and beside it what went
            // wrong in the platform's words.
            const StepResult failure = view.Failure();
            if (failure)
                fail(convert(view.StatusText()));
            else
                fail(convert(state.Text(failure.Message())) + " (" + failure.Detail() + ")");
            return;
        }
        const bool answered = engine.Outcome() != RoadOutcome::None;
        if (!answered && closedByServer) {
            worker.RequestStop();
            fail("the connect server at " + server + " closed the connection before answering");
            return;
        }
        if (!answered && std::chrono::steady_clock::now() > deadline) {
            worker.RequestStop();
            fail((connected ? "the connect server at " + server + " sent no answer within "
                            : "no answer from the connect server at " + server + " within ") +
                 std::to_string(m_options.connectTimeoutSeconds) + " s");
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
    OnConnectButton(state, view, view.update, hooks); // ends the process once started
    // Only a failure to store the connection parameters comes back here.
    fail(convert(state.Text(msgid::kCannotStoreParameters)));
}

} // namespace tarnvale::cli
