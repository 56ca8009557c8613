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
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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
    const std::size_t split = body.size() - std::min(body.size(), sizeof kCannotOpenFileText - 1);
    if (codePage == platform::TextCodePage::kPathThenDeveloper)
        shown = (*g_tableText)(body.substr(0, split)) + developer(body.substr(split));
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

namespace {

// Whether the machine at `address` (network order) refuses connections on
// `port`: nothing listens there. A silent or unreachable host is not refusing.
bool RefusesConnections(std::uint32_t address, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    int error = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        error = errno;
        pollfd waiting{fd, POLLOUT, 0};
        if (error == EINPROGRESS && ::poll(&waiting, 1, 2000) == 1) {
            socklen_t length = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        }
    }
    ::close(fd);
    return error == ECONNREFUSED;
}

// One run of the headless launcher: the console view, the queue its thread
// dispatches, and the session behind them, from the start to the game client.
class HeadlessRun {
  public:
    HeadlessRun(const HeadlessOptions& options, LauncherState& state)
        : m_options(options), m_state(state), m_convert(options.codePage),
          m_view(state, stdout, ::isatty(STDOUT_FILENO) != 0, m_convert),
          m_clientName(options.gameClient.empty() ? settings::kGameClientExe : options.gameClient),
          m_queue([this](const platform::QueuedMessage& message) { OnMessage(message); }) {}

    // The exit status of the run (HeadlessExit), unless the game start ends the
    // process first.
    int Run();

  private:
    FrontEndHooks MakeHooks();
    void OnMessage(const platform::QueuedMessage& message);
    // Dispatches until the launcher is ready to play (nullopt) or the run has
    // ended another way (its exit status).
    std::optional<int> WaitUntilReady();
    int AfterHandOver();
    int AfterFailure();
    int NoAnswer();
    int ChooseAndStart();
    // The HTTP worker's last reports and its hand-over reach this thread through
    // the queue: once it has ended, what it left there is carried out.
    void Settle();
    int Fail(const std::string& why);
    // Why the game client could not be started; empty when it could.
    std::string StartFailure() const;

    const HeadlessOptions& m_options;
    LauncherState& m_state;
    TextConverter m_convert;
    HeadlessView m_view;
    const std::string m_clientName;
    std::atomic<bool> m_windowClosed{false}; // set from the HTTP worker too
    std::intptr_t m_startResult = platform::kStartSucceeded;
    bool m_startSkipped = false;
    bool m_closedByServer = false;
    bool m_connected = false;
    // The queue outlives the session, so that no worker of the session can be
    // left holding a queue that is gone.
    platform::MessageQueue m_queue;
    std::optional<LauncherSession> m_session;
};

FrontEndHooks HeadlessRun::MakeHooks() {
    FrontEndHooks hooks;
    hooks.requestWindowClose = [this] { m_windowClosed = true; };
    GameStartHooks& game = hooks.game;
    game.closeWindow = [this] {
        m_windowClosed = true;
        return std::intptr_t{0};
    };
    game.runOptionsDialog = [] {
        std::fprintf(stderr, "config.ini is missing: the game starts with its own defaults\n");
    };
    game.gameClientExe = m_clientName.c_str();
    // The game start, watched: a client that cannot be started ends the run with
    // its reason and a failure status. With --no-start nothing is started, also
    // not by the hand-over after an update that carried a new launcher.
    game.startProgram = [this](const char* file, const std::string& parameters) {
        if (m_options.noStart) {
            m_startSkipped = true;
            return platform::kStartSucceeded; // nothing to report: nothing was started
        }
        m_startResult = platform::StartProgram(file, parameters);
        return m_startResult;
    };
    game.endProcess = [this](unsigned code) {
        m_view.FlushRepeats();
        if (const std::string failure = StartFailure(); !failure.empty()) {
            std::fprintf(stderr, "tarnvale-launcher: %s\n", failure.c_str());
            platform::EndProcess(kExitFailed);
        }
        platform::EndProcess(code);
    };
    return hooks;
}

void HeadlessRun::OnMessage(const platform::QueuedMessage& message) {
    if (message.message == kWmWindowMail) {
        m_view.Mail().Deliver();
        return;
    }
    if (!m_session || message.message != kWmSocketNotify)
        return;
    // A connect server that closes the connection before it has answered is
    // reported, not waited on; whatever it sent before closing is read first.
    if (platform::NoticeEvent(message.lParam) == platform::kFdClose) {
        m_session->OnSocketNotify(message.wParam, platform::MakeNotice(platform::kFdRead, 0));
        m_closedByServer = true;
    }
    m_session->OnSocketNotify(message.wParam, message.lParam);
}

std::string HeadlessRun::StartFailure() const {
    const char* reason = gameclient::StartFailureReason(m_startResult);
    return reason ? "the game client " + m_clientName + " cannot be started: " + reason
                  : std::string();
}

int HeadlessRun::Fail(const std::string& why) {
    m_view.FlushRepeats();
    std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
    return kExitFailed;
}

void HeadlessRun::Settle() {
    m_session->Engine().JoinHttpWorker();
    while (m_queue.DispatchOne()) {
    }
}

int HeadlessRun::Run() {
    if (!m_options.host.empty()) {
        std::memset(m_state.connectHost, 0, sizeof m_state.connectHost);
        std::strncpy(m_state.connectHost, m_options.host.c_str(), sizeof m_state.connectHost - 1);
    }
    if (m_options.port > 0)
        m_state.connectPort = static_cast<std::uint16_t>(m_options.port);

    m_view.ShowProgressView(); // the window opens on its progress view
    m_view.SetMessagePump([this] { return m_queue.DispatchOne(); });
    m_view.Mail().Open([this] { m_queue.Post(kWmWindowMail); });
    m_session.emplace(m_state, m_view, m_view.update, MakeHooks());
    m_session->Start(m_queue.Handle());

    if (const std::optional<int> ended = WaitUntilReady())
        return *ended;
    Settle();
    m_session->Worker().RequestStop();
    m_session->Worker().WaitForEnd(10000);
    return ChooseAndStart();
}

std::optional<int> HeadlessRun::WaitUntilReady() {
    // The whole wait for the connect server's answer has an end, not only the
    // connection itself: a server may accept and then stay silent or send only
    // packets that are not an answer.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(m_options.connectTimeoutSeconds);
    // A host name that cannot be resolved is said at once; the worker keeps trying
    // until the timeout, as the launcher does.
    std::uint32_t resolved = 0;
    if (!platform::SocketResolve(m_state.connectHost, resolved))
        std::fprintf(stderr,
                     "tarnvale-launcher: the connect server's host name %s cannot be resolved; "
                     "trying until the timeout\n",
                     m_state.connectHost);
    const UpdateEngine& engine = m_session->Engine();
    for (;;) {
        m_queue.WaitAndDispatchOne(100);
        m_connected = m_connected || !m_view.connectPending;
        if (m_view.readyToPlay)
            return std::nullopt;
        if (engine.Outcome() == RoadOutcome::HandedOver)
            return AfterHandOver();
        if (m_windowClosed || m_view.updateFailed || engine.Outcome() == RoadOutcome::Failed)
            return AfterFailure();
        const bool answered = engine.Outcome() != RoadOutcome::None;
        if (!answered && (m_closedByServer || std::chrono::steady_clock::now() > deadline))
            return NoAnswer();
    }
}

int HeadlessRun::AfterHandOver() {
    // The update carried a new launcher: the hand-over has run (once what the
    // worker left in the queue has), and the new launcher waits for the next start.
    Settle();
    m_session->Worker().RequestStop();
    m_view.FlushRepeats();
    std::printf("A new launcher was installed; it will be used on the next start.\n");
    if (m_startSkipped)
        std::printf("Not starting the game client (--no-start).\n");
    else if (const std::string failure = StartFailure(); !failure.empty())
        return Fail(failure);
    return kExitStarted;
}

int HeadlessRun::AfterFailure() {
    Settle();
    m_session->Worker().RequestStop();
    // The player's text of the failing step, and beside it what went wrong in the
    // platform's words.
    const StepResult reported = m_view.Failure();
    if (reported.Failed())
        return Fail(m_convert(m_state.Text(reported.Message())) + " (" + reported.Detail() + ")");
    return Fail(m_convert(m_view.StatusText()));
}

int HeadlessRun::NoAnswer() {
    m_session->Worker().RequestStop();
    const std::string server =
        std::string(m_state.connectHost) + ":" + std::to_string(m_state.connectPort);
    if (m_closedByServer)
        return Fail("the connect server at " + server + " closed the connection before answering");
    std::uint32_t resolved = 0;
    if (!platform::SocketResolve(m_state.connectHost, resolved))
        return Fail("the connect server's host name " + std::string(m_state.connectHost) +
                    " cannot be resolved");
    if (!m_connected && RefusesConnections(resolved, m_state.connectPort))
        return Fail("the connect server at " + server +
                    " refused the connection: nothing listens on that port");
    return Fail((m_connected ? "the connect server at " + server + " sent no answer within "
                             : "no answer from the connect server at " + server + " within ") +
                std::to_string(m_options.connectTimeoutSeconds) + " s");
}

int HeadlessRun::ChooseAndStart() {
    if (m_options.noStart && !m_options.partition) {
        // Nothing to choose: ready to play is where --no-start stops.
        std::printf("Ready to play; not starting the game client (--no-start).\n");
        return kExitStarted;
    }
    std::string why;
    const std::optional<int> partition = ChoosePartition(m_state, m_options, why);
    if (!partition) {
        std::fprintf(stderr, "tarnvale-launcher: %s\n", why.c_str());
        return kExitNoPartition;
    }
    m_state.selectedPartition = static_cast<std::uint32_t>(*partition);
    const PartitionEntry& entry = m_state.partitions[*partition];
    std::printf("Partition %d: %s (%s:%u)\n", *partition + 1,
                m_convert(FieldText(entry.name)).c_str(), FieldText(entry.address).c_str(),
                entry.port);
    if (m_options.noStart) {
        std::printf("Ready to play; not starting the game client (--no-start).\n");
        return kExitStarted;
    }
    m_view.ShowProgressView();
    m_session->OnConnect(); // ends the process, with a failure status if the start failed
    // Only a failure to store the connection parameters comes back here.
    return Fail(m_convert(m_state.Text(msgid::kCannotStoreParameters)));
}

} // namespace

void HeadlessFrontEnd::RunWindow(LauncherState& state) {
    HeadlessRun run(m_options, state);
    m_exitCode = run.Run();
}

} // namespace tarnvale::cli
