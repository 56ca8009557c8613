// How workers reach the window thread: one notification for many reports, the
// order kept, reports that only replace what is shown coalesced, nothing after
// the window closes.
#include "state/WindowMail.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace tarnvale {
namespace {

struct MailTest : ::testing::Test {
    WindowMail mail;
    std::atomic<int> wakes{0};
    std::string log; // written on the window thread only

    void SetUp() override {
        mail.Open([this] { ++wakes; });
    }
    // Hands `task` over from another thread.
    void FromWorker(WindowMail::Key key, std::string entry) {
        std::thread([&] { mail.Run(key, [this, entry] { log += entry; }); }).join();
    }
};

TEST_F(MailTest, AWorkersReportsWaitForTheWindowThreadAndKeepTheirOrder) {
    FromWorker(WindowMail::kStatusLine, "s1 ");
    FromWorker(WindowMail::kProgress, "p1 ");
    FromWorker(WindowMail::kStatusLine, "s2 "); // replaces s1
    FromWorker(WindowMail::kInOrder, "finish ");
    FromWorker(WindowMail::kStatusLine, "s3 "); // after the task: not merged with s2
    FromWorker(WindowMail::kProgress, "p2 ");
    EXPECT_EQ(log, "") << "nothing runs on a worker";
    EXPECT_EQ(wakes, 1) << "one notification for all of them";

    // On the window thread a call runs at once, after what waited.
    mail.Run(WindowMail::kStatusLine, [this] { log += "here"; });
    EXPECT_EQ(log, "s2 p1 finish s3 p2 here");

    FromWorker(WindowMail::kProgress, "p3");
    EXPECT_EQ(wakes, 2) << "once delivered, the next report notifies again";
    mail.Deliver();
    EXPECT_EQ(log, "s2 p1 finish s3 p2 herep3");
}

TEST_F(MailTest, NothingRunsOnceTheWindowIsClosing) {
    FromWorker(WindowMail::kInOrder, "waiting ");
    mail.Close();
    FromWorker(WindowMail::kInOrder, "late ");
    mail.Run(WindowMail::kInOrder, [this] { log += "here"; });
    mail.Deliver();
    EXPECT_EQ(log, "");
}

TEST_F(MailTest, ATaskThatReportsRunsItsReportAtOnce) {
    FromWorker(WindowMail::kInOrder, "");
    std::thread([&] {
        mail.Run(WindowMail::kInOrder, [this] {
            log += "finish(";
            mail.Run(WindowMail::kStatusLine, [this] { log += "status"; });
            log += ") ";
        });
    }).join();
    FromWorker(WindowMail::kProgress, "p");
    mail.Deliver();
    EXPECT_EQ(log, "finish(status) p");
}

} // namespace
} // namespace tarnvale
