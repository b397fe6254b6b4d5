// The bound on what a session holds for a client: reading pauses above the limit and resumes once; the
// worker waits while the replies alone exceed it, until they drain or the session ends.
#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "server/Backlog.h"

namespace {

using Held = Network::Backlog::Held;

TEST(Backlog, RequestsAndRepliesTogetherPauseReadingWhichResumesExactlyOnceBelowTheLimit) {
    Network::Backlog backlog(100);
    backlog.add(Held::request, 60);
    backlog.add(Held::reply, 40);
    EXPECT_TRUE(backlog.mayRead());  // at the limit: still reading
    EXPECT_FALSE(backlog.release(Held::request, 0));
    backlog.add(Held::reply, 50);
    EXPECT_FALSE(backlog.mayRead());
    EXPECT_FALSE(backlog.release(Held::reply, 40));  // 110 still waits
    EXPECT_TRUE(backlog.release(Held::request, 10));
    EXPECT_FALSE(backlog.release(Held::request, 10));  // resumed already
    EXPECT_TRUE(backlog.mayRead());
}

// Waits for reply room on a thread of its own; ready once the wait has returned.
std::future<bool> waitOnAnotherThread(Network::Backlog& backlog) {
    return std::async(std::launch::async, [&backlog] { return backlog.waitForReplyRoom(); });
}

// Whether the wait returned `expected`; false when it still waits after a generous time (the backlog is
// then closed, so that the waiting thread ends with the test).
bool returnedWith(Network::Backlog& backlog, std::future<bool>& waited, bool expected) {
    if (waited.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        backlog.close();
        return false;
    }
    return waited.get() == expected;
}

TEST(Backlog, RequestsAloneNeverHoldTheWorker) {
    Network::Backlog backlog(100);
    backlog.add(Held::request, 1000);
    backlog.add(Held::reply, 100);  // at the limit
    auto waited = waitOnAnotherThread(backlog);
    EXPECT_TRUE(returnedWith(backlog, waited, true));
}

TEST(Backlog, WorkerWaitsWhileRepliesExceedTheLimitUntilOneIsSent) {
    Network::Backlog backlog(100);
    backlog.add(Held::reply, 101);
    auto waited = waitOnAnotherThread(backlog);
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    backlog.release(Held::request, 1);  // a request leaving makes no room for replies
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    backlog.release(Held::reply, 1);
    EXPECT_TRUE(returnedWith(backlog, waited, true));
}

TEST(Backlog, ClosingReleasesAWaitingWorkerAndNoLaterWaitBlocks) {
    Network::Backlog backlog(100);
    backlog.add(Held::reply, 1000);
    auto waited = waitOnAnotherThread(backlog);
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    backlog.close();
    EXPECT_TRUE(returnedWith(backlog, waited, false));
    backlog.release(Held::reply, 1000);
    EXPECT_FALSE(backlog.waitForReplyRoom());
}

}  // namespace
