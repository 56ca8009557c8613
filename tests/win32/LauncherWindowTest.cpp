// The launcher window itself, under the real Win32 API: its views, its commands
// and, above all, that no way of closing it can hang while a worker reports to it.
#include "app/WindowLayout.h"
#include "app/win32/CUpdateDlg.h"
#include "msg/MessageFile.h"
#include "options/WindowModeValue.h"
#include "support/TestSupport.h"
#include "tarnvale/settings.h"

#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace tarnvale {
namespace {

constexpr char kConnecting[] = "Connecting";
constexpr char kConnectFailed[] = "Connection failed";
constexpr char kReady[] = "Choose a server";

// A listening socket on loopback. The system completes connections to it without
// anyone accepting them, until its queue of waiting connections is full; with
// `full` that queue is filled at once, so that a further connection attempt stays
// blocked until the system gives up on it.
class Listener {
  public:
    explicit Listener(bool full = false) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, full ? 0 : 8);
        int length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ::ntohs(address.sin_port);
        for (int i = 0; full && i < 4; ++i) {
            SOCKET client = ::socket(AF_INET, SOCK_STREAM, 0);
            u_long nonBlocking = 1;
            ::ioctlsocket(client, FIONBIO, &nonBlocking);
            ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
            m_fillers.push_back(client);
        }
        if (full)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Listener() {
        for (SOCKET s : m_fillers)
            ::closesocket(s);
        ::closesocket(m_listener);
    }
    std::uint16_t Port() const { return m_port; }

  private:
    SOCKET m_listener = INVALID_SOCKET;
    std::vector<SOCKET> m_fillers;
    std::uint16_t m_port = 0;
};

class LauncherWindowTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_server = std::make_unique<Listener>();
        test::WriteFile("message.wtf", msg::SerializeMessageFile({{102, kConnecting},
                                                                  {107, kConnectFailed},
                                                                  {126, kReady},
                                                                  {127, "Already running"}},
                                                                 settings::kMessageKey));
    }
    void TearDown() override {
        m_server.reset();
        ::WSACleanup();
        TempDirTest::TearDown();
    }

    // The connect server of most tests: the connect worker's first attempt
    // succeeds and the worker ends; nothing is ever said on the connection.
    std::unique_ptr<Listener> m_server;

    // A launcher state as start-up leaves it. It is never freed: a connect worker
    // that was given up may still be blocked in its attempt when the test ends,
    // and it keeps using the state until the attempt returns.
    static LauncherState& NewState(std::uint16_t port) {
        auto* state = new LauncherState;
        state->messages.Load("message.wtf");
        std::strcpy(state->connectHost, "127.0.0.1");
        state->connectPort = port;
        return *state;
    }

    static void SetPartition(LauncherState& state, int index, const char* name,
                             std::uint16_t port) {
        PartitionEntry& entry = state.partitions[index];
        std::memset(&entry, 0, sizeof entry);
        std::strncpy(entry.name, name, sizeof entry.name - 1);
        std::strcpy(entry.address, "127.0.0.1");
        entry.port = port;
    }

    // Dispatches the thread's messages for a while, as the window's loop would.
    static void Pump(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            MSG message;
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT)
                    return;
                ::TranslateMessage(&message);
                ::DispatchMessageA(&message);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    static bool Visible(const CUpdateDlg& window, int id) {
        return ::IsWindowVisible(window.Item(id)) != FALSE;
    }
    static bool Enabled(const CUpdateDlg& window, int id) {
        return ::IsWindowEnabled(window.Item(id)) != FALSE;
    }
    static void Command(CUpdateDlg& window, int id) {
        ::SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    // The launcher window once it has its title, from any thread.
    static HWND WaitForLauncherWindow() {
        HWND window = nullptr;
        while (!(window = ::FindWindowA("#32770", settings::kLauncherName)))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return window;
    }
    static bool QuitPosted() {
        MSG message;
        return ::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }
};

TEST_F(LauncherWindowTest, OpensCentredOnItsProgressViewWithTheCommandsHidden) {
    LauncherState& state = NewState(m_server->Port());
    CUpdateDlg window(state);
    ASSERT_TRUE(window.Create());
    Pump(200);

    RECT rect;
    ::GetWindowRect(window.Handle(), &rect);
    EXPECT_EQ(rect.right - rect.left, layout::kWindowWidth);
    EXPECT_EQ(rect.bottom - rect.top, layout::kWindowHeight);
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((rect.left + rect.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((rect.top + rect.bottom) - (work.top + work.bottom)), 1);
    char title[64] = {};
    ::GetWindowTextA(window.Handle(), title, sizeof title);
    EXPECT_STREQ(title, settings::kLauncherName);

    EXPECT_EQ(state.progressView, 1u);
    EXPECT_EQ(window.TitleText(), "\xa1\xbaTarnvale\xa1\xbb");
    for (int id : {layout::kCmdOption, layout::kCmdConnect, layout::kCmdCloseBig})
        EXPECT_FALSE(Visible(window, id)) << id;
    EXPECT_FALSE(Enabled(window, layout::kCmdConnect));
    for (const layout::ButtonSpec& button : layout::kButtons) {
        if (button.partitionView) {
            EXPECT_FALSE(Visible(window, button.id)) << button.id;
        }
    }
    EXPECT_TRUE(Visible(window, layout::kCmdClose));
    for (int i = 0; i < layout::kPartitionButtons; ++i)
        EXPECT_FALSE(Visible(window, layout::kCmdFirstPartition + i));

    // The notice page sits below the bars in this view.
    HWND browser = window.Item(1004);
    ASSERT_NE(browser, nullptr);
    ::GetWindowRect(browser, &rect);
    ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, layout::kBrowserInProgressView.left);
    EXPECT_EQ(rect.top, layout::kBrowserInProgressView.top);
    EXPECT_EQ(rect.right - rect.left, layout::kBrowserInProgressView.Width());

    // The window-mode value exists once the window has started.
    const std::uint32_t mode = options::PrepareWindowModeValue();
    EXPECT_LE(mode, 1u);
    ::DestroyWindow(window.Handle());
}

TEST_F(LauncherWindowTest, AWorkerFinishingTheUpdateShowsThePartitionsOpenOrClosed) {
    LauncherState& state = NewState(m_server->Port());
    SetPartition(state, 0, "Open", 55901);
    SetPartition(state, 1, "Closed", 0);
    CUpdateDlg window(state);
    ASSERT_TRUE(window.Create());

    // The HTTP worker finishes the road from its own thread and goes on at once;
    // the window thread carries the view switch out when it next dispatches.
    DWORD ranOn = 0;
    std::thread worker([&] {
        window.totalBar.SetRange(1);
        window.totalBar.SetPos(1);
        window.FinishUpdate();
        window.RunOnWindowThread([&] { ranOn = ::GetCurrentThreadId(); });
    });
    worker.join();
    EXPECT_NE(window.StatusText(), kReady) << "nothing of the window ran on the worker";
    Pump(100);

    EXPECT_EQ(ranOn, ::GetCurrentThreadId()) << "a worker's task runs on the window thread";
    EXPECT_EQ(window.StatusText(), kReady);
    EXPECT_TRUE(window.readyToPlay);
    EXPECT_FALSE(window.connectPending);
    EXPECT_TRUE(window.update.updateDone);
    EXPECT_EQ(state.connectWorkerStop, 1u);
    EXPECT_EQ(state.progressView, 0u);
    EXPECT_TRUE(Visible(window, layout::kCmdFirstPartition));
    EXPECT_TRUE(Enabled(window, layout::kCmdFirstPartition));
    EXPECT_TRUE(Visible(window, layout::kCmdFirstPartition + 1)) << "shown, but closed";
    EXPECT_FALSE(Enabled(window, layout::kCmdFirstPartition + 1));
    for (const layout::ButtonSpec& button : layout::kButtons) {
        if (button.partitionView) {
            EXPECT_TRUE(Visible(window, button.id)) << button.id;
        }
    }
    ::DestroyWindow(window.Handle());
}

TEST_F(LauncherWindowTest, PartitionButtonsCloseBigAndTheTitleLine) {
    LauncherState& state = NewState(m_server->Port());
    SetPartition(state, 2, "Northern", 55902);
    SetPartition(state, 3, "Shut", 0);
    SetPartition(state, 4, "Southern", 55904);
    CUpdateDlg window(state);
    ASSERT_TRUE(window.Create());
    window.FinishUpdate();

    Command(window, layout::kCmdFirstPartition + 3);
    EXPECT_EQ(state.selectedPartition, 3u) << "the index changes";
    EXPECT_EQ(state.progressView, 0u) << "but a closed partition leads nowhere";

    Command(window, layout::kCmdFirstPartition + 2);
    EXPECT_EQ(state.progressView, 1u);
    EXPECT_EQ(window.TitleText(), "\xa1\xbaNorthern\xa1\xbb");
    for (int id : {layout::kCmdOption, layout::kCmdConnect, layout::kCmdCloseBig}) {
        EXPECT_TRUE(Visible(window, id)) << id;
        EXPECT_TRUE(Enabled(window, id)) << id;
    }

    Command(window, layout::kCmdCloseBig);
    EXPECT_EQ(state.progressView, 0u);
    EXPECT_EQ(state.selectedPartition, 2u) << "CloseBig keeps the choice";
    EXPECT_FALSE(Visible(window, layout::kCmdConnect));

    Command(window, layout::kCmdFirstPartition + 4);
    EXPECT_EQ(window.TitleText(), "\xa1\xbaSouthern\xa1\xbb");
    ::DestroyWindow(window.Handle());
}

TEST_F(LauncherWindowTest, EscapeAndEnterLeaveTheWindowOpen) {
    LauncherState& state = NewState(m_server->Port());
    CUpdateDlg window(state);
    ASSERT_TRUE(window.Create());
    for (WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
        MSG message{window.Handle(), WM_KEYDOWN, key, 0, 0, {}};
        if (!window.RouteMessage(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        Pump(50);
        EXPECT_FALSE(window.Ended()) << "key " << key;
        EXPECT_TRUE(::IsWindow(window.Handle()));
    }
    ::DestroyWindow(window.Handle());
}

TEST_F(LauncherWindowTest, CloseDuringAnUpdateStopsItAndTheNextCloseQuits) {
    LauncherState& state = NewState(m_server->Port());
    CUpdateDlg window(state);
    ASSERT_TRUE(window.Create());
    Pump(100);
    QuitPosted();

    window.update.stopRequested = false; // a transfer is under way
    window.readyToPlay = true;
    Command(window, layout::kCmdClose);
    EXPECT_TRUE(window.update.stopRequested) << "the transfer stops after its chunk";
    EXPECT_FALSE(window.readyToPlay);
    EXPECT_EQ(window.StatusText(), kConnecting);
    EXPECT_FALSE(QuitPosted()) << "the launcher stays open";
    EXPECT_FALSE(window.Ended());

    Command(window, layout::kCmdCloseLink);
    EXPECT_TRUE(QuitPosted()) << "the second Close ends the launcher";
    ::DestroyWindow(window.Handle());
}

TEST_F(LauncherWindowTest, TheWindowModeCommandWritesTheOtherState) {
    LauncherState& state = NewState(m_server->Port());
    CUpdateDlg window(state);
    ASSERT_TRUE(window.Create());
    const std::uint32_t before = options::PrepareWindowModeValue();
    Command(window, layout::kCmdWindowMode);
    EXPECT_EQ(options::PrepareWindowModeValue(), before ? 0u : 1u);
    Command(window, layout::kCmdWindowMode);
    EXPECT_EQ(options::PrepareWindowModeValue(), before);
    EXPECT_FALSE(window.Ended());
    ::DestroyWindow(window.Handle());
}

TEST_F(LauncherWindowTest, ANewerLauncherClosesTheOlderWindow) {
    LauncherState& older = NewState(m_server->Port());
    CUpdateDlg first(older);
    ASSERT_TRUE(first.Create());
    LauncherState& newer = NewState(m_server->Port());
    CUpdateDlg second(newer);
    ASSERT_TRUE(second.Create());
    EXPECT_TRUE(first.Ended()) << "the older window received WM_CLOSE";
    EXPECT_FALSE(second.Ended()) << "the newer one never finds itself";
    ::DestroyWindow(second.Handle());
    ::DestroyWindow(first.Handle());
}

// Two workers report to the window as fast as they can, with no pause, while the
// player closes it: with the Close button (which quits) or as the system does
// (WM_CLOSE). Neither waits for the other, so the window ends within a second,
// every time.
TEST_F(LauncherWindowTest, ClosingWhileTwoWorkersFloodItEndsTheWindowWithinASecond) {
    constexpr int kRuns = 20;
    double slowest = 0;
    for (int run = 0; run < kRuns; ++run) {
        // A connect server of its own: nobody accepts, and the system stops
        // completing connections once a few wait.
        Listener server;
        LauncherState& state = NewState(server.Port());
        auto window = std::make_unique<CUpdateDlg>(state);
        std::atomic<bool> stop{false};
        std::atomic<int> calls{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 2; ++w) {
            workers.emplace_back([&, w] {
                for (int i = 0; !stop; ++i) {
                    window->fileBar.SetRange(100);
                    window->fileBar.SetPos(i % 100);
                    window->RefreshProgress();
                    window->SetStatusText(w ? "worker one" : "worker two");
                    ++calls;
                }
            });
        }
        using Clock = std::chrono::steady_clock;
        std::atomic<Clock::rep> closedAt{0};
        std::thread closer([&] {
            HWND handle = WaitForLauncherWindow();
            const int before = calls;
            while (calls < before + 2000)
                std::this_thread::yield();
            closedAt = Clock::now().time_since_epoch().count();
            if (run % 2)
                ::PostMessageA(handle, WM_CLOSE, 0, 0);
            else
                ::PostMessageA(handle, WM_COMMAND, MAKEWPARAM(layout::kCmdClose, BN_CLICKED), 0);
        });

        const INT_PTR result = window->DoModal();
        const auto ended = Clock::now();
        QuitPosted(); // the Close button's quit request, which ends this run only
        closer.join();
        window->LeaveWorkers();
        stop = true;
        for (std::thread& worker : workers)
            worker.join();
        window.reset();

        const double seconds = std::chrono::duration<double>(
                                   ended - Clock::time_point(Clock::duration(closedAt.load())))
                                   .count();
        slowest = std::max(slowest, seconds);
        EXPECT_LT(seconds, 1.0) << "run " << run;
        EXPECT_EQ(result, run % 2 ? IDCANCEL : -1) << "run " << run;
    }
    RecordProperty("slowest_close_seconds", std::to_string(slowest));
}

TEST_F(LauncherWindowTest, ClosingWhileTheConnectWorkerIsBlockedEndsTheRun) {
    Listener listener(true);
    LauncherState& state = NewState(listener.Port());
    auto window = std::make_unique<CUpdateDlg>(state);
    std::thread closer([&] {
        HWND handle = WaitForLauncherWindow();
        // Long enough for the attempt to be under way, far too short for it to fail.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::PostMessageA(handle, WM_CLOSE, 0, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    const INT_PTR result = window->DoModal();
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    closer.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(window->StatusText(), kConnecting)
        << "the attempt was still blocked: it never failed and retried";
    RecordProperty("close_seconds", std::to_string(seconds));
    window->LeaveWorkers();
}

} // namespace
} // namespace tarnvale
