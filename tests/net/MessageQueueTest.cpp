// The front-end message queue that socket notices are posted to.
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tarnvale {
namespace {

using platform::MessageQueue;
using platform::QueuedMessage;

TEST(MessageQueue, DispatchesOneMessageAtATimeInOrder) {
    std::vector<unsigned> seen;
    MessageQueue queue([&](const QueuedMessage& m) {
        seen.push_back(m.message);
        if (m.message == 3000) {
            EXPECT_EQ(m.wParam, 7u);
            EXPECT_EQ(m.lParam, -2);
        }
    });
    EXPECT_FALSE(queue.DispatchOne()) << "nothing pending";
    EXPECT_TRUE(queue.Post(3000, 7, -2));
    EXPECT_TRUE(platform::PostNotice(queue.Handle(), 3001, 0, 0));
    EXPECT_TRUE(queue.DispatchOne());
    EXPECT_EQ(seen, std::vector<unsigned>{3000});
    EXPECT_TRUE(queue.DispatchOne());
    EXPECT_EQ(seen, (std::vector<unsigned>{3000, 3001}));
    EXPECT_FALSE(queue.DispatchOne());
    EXPECT_FALSE(queue.WaitAndDispatchOne(20)) << "time runs out";
}

TEST(MessageQueue, OtherThreadsPostAndQuit) {
    int count = 0;
    MessageQueue queue([&](const QueuedMessage& m) { count += static_cast<int>(m.wParam); });
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            platform::PostNotice(queue.Handle(), 2024, 1, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.Quit(5);
    });
    while (count < 100 && queue.WaitAndDispatchOne(5000)) {
    }
    EXPECT_EQ(queue.Run(), 5) << "Run returns the quit code once asked";
    poster.join();
    EXPECT_EQ(count, 100);
    EXPECT_TRUE(queue.QuitRequested());
    EXPECT_FALSE(queue.WaitAndDispatchOne(-1)) << "a quit queue does not wait";
}

TEST(MessageQueue, PostingToAQueueThatIsGoneFails) {
    platform::NotifyWindow handle = nullptr;
    {
        MessageQueue queue([](const QueuedMessage&) {});
        handle = queue.Handle();
        EXPECT_NE(handle, nullptr);
    }
    EXPECT_FALSE(platform::PostNotice(handle, 2024, 0, 0));
    EXPECT_FALSE(platform::PostNotice(nullptr, 2024, 0, 0));
}

} // namespace
} // namespace tarnvale
