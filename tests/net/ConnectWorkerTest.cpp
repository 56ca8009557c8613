// The connect worker: attempts, status texts, stopping, and letting go of a
// window whose thread no longer answers.
#include "net/ConnectWorker.h"
#include "NetTestSupport.h"
#include "support/TestSupport.h"

#include <condition_variable>
#include <cstring>

namespace tarnvale {
namespace {

// Records the worker's calls under a lock, as they come from its thread.
class LockedWindow : public test::RecordingWindow {
  public:
    void SetStatusText(const char* text) override {
        std::lock_guard<std::mutex> lock(mutex);
        RecordingWindow::SetStatusText(text);
    }
    void ResetToConnect() override {
        std::lock_guard<std::mutex> lock(mutex);
        RecordingWindow::ResetToConnect();
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex);
        return statusTexts;
    }
    int Resets() {
        std::lock_guard<std::mutex> lock(mutex);
        return resetCount;
    }
    std::mutex mutex;
};

class Worker : public ::testing::Test {
  protected:
    Worker() {
        state.messages.Load(TARNVALE_BIN_DIR "/message.wtf");
        EXPECT_TRUE(state.socketClient.Startup());
        std::strcpy(state.connectHost, "127.0.0.1");
    }
    ~Worker() override { state.socketClient.Close(); }

    static constexpr const char* kConnecting = "Connecting to the game server...";
    static constexpr const char* kFailed = "Could not reach the game server. Trying again...";

    LauncherState state;
    LockedWindow window;
    int notices = 0;
    platform::MessageQueue queue{[this](const platform::QueuedMessage& m) {
        if (m.message == kWmSocketNotify)
            ++notices;
    }};
};

TEST_F(Worker, FirstSuccessfulConnectionEndsTheWorker) {
    test::ScriptedPeer peer;
    state.connectPort = peer.Port();
    ConnectWorker worker(state, window, queue.Handle(), 20);
    worker.Start();
    ASSERT_TRUE(worker.WaitForEnd(5000));
    EXPECT_FALSE(window.connectPending);
    EXPECT_EQ(window.Texts(), std::vector<std::string>{kConnecting});
    EXPECT_EQ(window.Resets(), 0);
    // The socket now notifies the queue: the Welcome arrives as a read notice.
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(peer.Send(test::Bytes{0xC1, 0x04, 0x00, 0x01}));
    EXPECT_TRUE(test::PumpUntil(queue, [&] { return notices > 0; }));
}

TEST_F(Worker, FailedAttemptsShowTheirTextsAndRetryUntilStopped) {
    std::string error;
    const platform::SocketHandle listener = platform::SocketListen("127.0.0.1", 0, error);
    state.connectPort = platform::SocketLocalPort(listener);
    platform::SocketClose(listener);

    ConnectWorker worker(state, window, queue.Handle(), 20);
    worker.Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (window.Resets() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    state.connectWorkerStop = 1; // as FinishUpdate does
    ASSERT_TRUE(worker.WaitForEnd(5000));

    const auto texts = window.Texts();
    ASSERT_GE(texts.size(), 6u);
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(texts[i], i % 2 == 0 ? kConnecting : kFailed) << i;
    EXPECT_TRUE(window.connectPending) << "ResetToConnect asks for the next attempt";
    EXPECT_EQ(state.socketClient.Socket(), platform::kInvalidSocket);
}

TEST_F(Worker, StopFlagsEndTheWorkerWithoutAttempts) {
    state.connectWorkerStop = 1;
    {
        ConnectWorker worker(state, window, queue.Handle());
        worker.Start();
        EXPECT_TRUE(worker.WaitForEnd(5000));
    }
    state.connectWorkerStop = 0;
    window.connectPending = false; // nothing asked for: the worker only waits
    ConnectWorker worker(state, window, queue.Handle());
    worker.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(worker.Running());
    worker.RequestStop(); // ends the 500 ms pause at once
    EXPECT_TRUE(worker.WaitForEnd(400));
    EXPECT_TRUE(window.Texts().empty());
}

} // namespace
} // namespace tarnvale
