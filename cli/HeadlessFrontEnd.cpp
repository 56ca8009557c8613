#include "cli/HeadlessFrontEnd.h"

#include "app/LauncherSession.h"
#include "cli/ConsoleView.h"
#include "launch/GameClient.h"
#include "msg/MessageIds.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/ProgramStart.h"
#include "platform/Sockets.h"
#include "tarnvale/settings.h"
#include "update/Installation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace tarnvale::cli {
namespace {

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
        why = "partition " + std::to_string(*options.partition + 1) + " cannot be chosen";
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
        const long choice = std::strtol(line.c_str(), &end, 10) - 1; // listed from 1
        if (end != line.c_str() && choice >= 0 && choosable(static_cast<int>(choice)))
            return static_cast<int>(choice);
        std::printf("That partition cannot be chosen.\n");
    }
}

// Message boxes go to standard error, their texts converted for the terminal from
// the code page each box says it is written in. Paths show "/" only.
const TextConverter* g_tableText = nullptr;

int PrintBox(const char* text, const char* caption, unsigned /*type*/,
             platform::TextCodePage codePage) {
    static const TextConverter developer("CP949");
    const std::string body = text ? text : "";
    std::string shown =
        codePage == platform::TextCodePage::kDeveloper ? developer(body) : (*g_tableText)(body);
    // The installer's box for an archive entry that cannot be created joins a
    // path in the game's code page and the developer's text.
    const std::string cannotOpen = kCannotOpenFileText;
    if (body.size() > cannotOpen.size() &&
        body.compare(body.size() - cannotOpen.size(), cannotOpen.size(), cannotOpen) == 0)
        shown =
            (*g_tableText)(body.substr(0, body.size() - cannotOpen.size())) + developer(cannotOpen);
    std::replace(shown.begin(), shown.end(), '\\', '/');
    std::fprintf(stderr, "[%s] %s\n", (*g_tableText)(caption ? caption : "").c_str(),
                 shown.c_str());
    std::fflush(stderr);
    return 1; // IDOK
}

} // namespace

void InstallMessageBoxPrinter(const TextConverter& table) {
    g_tableText = &table;
    platform::SetMessageBoxHook(PrintBox);
}

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
    const std::string clientName =
        m_options.gameClient.empty() ? settings::kGameClientExe : m_options.gameClient;

    // The game start, watched: a client that cannot be started ends the run with
    // its reason and a failure status. With --no-start nothing is started, also
    // not by the hand-over after an update that carried a new launcher.
    std::intptr_t startResult = platform::kStartSucceeded;
    bool startSkipped = false;
    hooks.startProgram = [&](const char* file, const std::string& parameters) {
        if (m_options.noStart) {
            startSkipped = true;
            return platform::kStartSucceeded; // nothing to report: nothing was started
        }
        startResult = platform::StartProgram(file, parameters);
        return startResult;
    };
    auto startFailure = [&]() -> std::string {
        const char* reason = gameclient::StartFailureReason(startResult);
        return reason ? "the game client " + clientName + " cannot be started: " + reason
                      : std::string();
    };
    hooks.endProcess = [&](unsigned code) {
        view.FlushRepeats();
        if (const std::string failure = startFailure(); !failure.empty()) {
            std::fprintf(stderr, "tarnvale-launcher: %s\n", failure.c_str());
            platform::EndProcess(kExitFailed);
        }
        platform::EndProcess(code);
    };

    // The queue outlives the session, so that no worker of the session can be
    // left holding a queue that is gone. A connect server that closes the
    // connection before it has answered is reported, not waited on; whatever it
    // sent before closing is read first.
    LauncherSession* running = nullptr;
    bool closedByServer = false;
    platform::MessageQueue queue([&](const platform::QueuedMessage& message) {
        if (message.message == kWmWindowMail) {
            view.Mail().Deliver();
            return;
        }
        if (!running || message.message != kWmSocketNotify)
            return;
        if (platform::NoticeEvent(message.lParam) == platform::kFdClose) {
            running->OnSocketNotify(message.wParam, platform::MakeNotice(platform::kFdRead, 0));
            closedByServer = true;
        }
        running->OnSocketNotify(message.wParam, message.lParam);
    });
    view.SetMessagePump([&] { return queue.DispatchOne(); });
    view.Mail().Open([&queue] { queue.Post(kWmWindowMail); });
    LauncherSession session(state, view, view.update, hooks);
    running = &session;
    UpdateEngine& engine = session.Engine();
    session.Start(queue.Handle());
    ConnectWorker& worker = session.Worker();

    // The whole wait for the connect server's answer has an end, not only the
    // connection itself: a server may accept and then stay silent or send only
    // packets that are not an answer.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(m_options.connectTimeoutSeconds);
    bool connected = false;
    // The HTTP worker's last reports and its hand-over reach this thread through
    // the queue: once it has ended, what it left there is carried out.
    auto settle = [&] {
        engine.JoinHttpWorker();
        while (queue.DispatchOne()) {
        }
    };
    auto fail = [&](const std::string& why) {
        view.FlushRepeats();
        std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
        m_exitCode = kExitFailed;
    };
    const std::string server =
        std::string(state.connectHost) + ":" + std::to_string(state.connectPort);
    // A host name that cannot be resolved is said at once; the worker keeps trying
    // until the timeout, as the launcher does.
    std::uint32_t resolved = 0;
    const bool resolvable = platform::SocketResolve(state.connectHost, resolved);
    const std::string hostProblem =
        "the connect server's host name " + std::string(state.connectHost) + " cannot be resolved";
    if (!resolvable)
        std::fprintf(stderr, "tarnvale-launcher: %s; trying until the timeout\n",
                     hostProblem.c_str());
    for (;;) {
        queue.WaitAndDispatchOne(100);
        connected = connected || !view.connectPending;
        if (view.readyToPlay)
            break;
        if (engine.Outcome() == RoadOutcome::HandedOver) {
            // The update carried a new launcher: the hand-over has run, and the new
            // launcher waits for the next start. The HTTP worker hands over through
            // the queue: what it left there runs before the run ends.
            settle();
            worker.RequestStop();
            view.FlushRepeats();
            std::printf("A new launcher was installed; it will be used on the next start.\n");
            if (startSkipped) {
                std::printf("Not starting the game client (--no-start).\n");
            } else if (const std::string failure = startFailure(); !failure.empty()) {
                fail(failure);
                return;
            }
            m_exitCode = kExitStarted;
            return;
        }
        if (windowClosed || view.updateFailed || engine.Outcome() == RoadOutcome::Failed) {
            settle();
            worker.RequestStop();
            // The player's text of the failing step, and beside it what went
            // wrong in the platform's words.
            const StepResult reported = view.Failure();
            if (reported.Failed())
                fail(convert(state.Text(reported.Message())) + " (" + reported.Detail() + ")");
            else
                fail(convert(view.StatusText()));
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
            if (!resolvable)
                fail(hostProblem);
            else
                fail((connected ? "the connect server at " + server + " sent no answer within "
                                : "no answer from the connect server at " + server + " within ") +
                     std::to_string(m_options.connectTimeoutSeconds) + " s");
            return;
        }
    }
    settle();
    worker.RequestStop();
    worker.WaitForEnd(10000);

    if (m_options.noStart && !m_options.partition) {
        // Nothing to choose: ready to play is where --no-start stops.
        std::printf("Ready to play; not starting the game client (--no-start).\n");
        m_exitCode = kExitStarted;
        return;
    }
    std::string why;
    const std::optional<int> partition = ChoosePartition(state, m_options, why);
    if (!partition) {
        std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
        m_exitCode = kExitNoPartition;
        return;
    }
    state.selectedPartition = static_cast<std::uint32_t>(*partition);
    const PartitionEntry& entry = state.partitions[*partition];
    std::printf("Partition %d: %s (%s:%u)\n", *partition + 1,
                convert(FieldText(entry.name, sizeof entry.name)).c_str(),
                FieldText(entry.address, sizeof entry.address).c_str(), entry.port);
    if (m_options.noStart) {
        std::printf("Ready to play; not starting the game client (--no-start).\n");
        m_exitCode = kExitStarted;
        return;
    }
    view.ShowProgressView();
    session.OnConnect(); // ends the process, with a failure status if the start failed
    // Only a failure to store the connection parameters comes back here.
    fail(convert(state.Text(msgid::kCannotStoreParameters)));
}

} // namespace tarnvale::cli
