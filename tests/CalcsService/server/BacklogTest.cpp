// The bound on what a session holds for a client: reading pauses above the limit and resumes once.
#include <gtest/gtest.h>

#include "server/Backlog.h"

namespace {

TEST(Backlog, ReadingPausesAboveTheLimitAndResumesExactlyOnceBelowIt) {
    Network::Backlog backlog(100);
    backlog.add(100);
    EXPECT_TRUE(backlog.mayRead());  // at the limit: still reading
    EXPECT_FALSE(backlog.release(0));
    backlog.add(50);
    EXPECT_FALSE(backlog.mayRead());
    EXPECT_FALSE(backlog.release(40));  // 110 still waits
    EXPECT_TRUE(backlog.release(10));
    EXPECT_FALSE(backlog.release(10));  // resumed already
    EXPECT_TRUE(backlog.mayRead());
}

}  // namespace
