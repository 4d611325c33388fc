// The restore timing of lost surfaces: when a try is due, how long to sleep, when to give up.
#include "saver/SurfaceRestore.h"

#include <gtest/gtest.h>

namespace {

struct StepCase {
    const char* what;
    uint32_t lostAt;
    uint32_t lastTryAt;  // == lostAt: no try yet
    uint32_t now;
    RestoreStep step;
    uint32_t waitMs;
};

TEST(SurfaceRestore, EachMomentHasItsStep) {
    const StepCase cases[] = {
        {"just lost", 1000, 1000, 1000, RestoreStep::Wait, 300},
        {"just before the first try", 1000, 1000, 1299, RestoreStep::Wait, 1},
        {"first try", 1000, 1000, 1300, RestoreStep::Try, 0},
        {"late first try", 1000, 1000, 5000, RestoreStep::Try, 0},
        {"right after a failed try", 1000, 20000, 20000, RestoreStep::Wait, 300},
        {"a minute after the loss, try due", 1000, 60700, 61000, RestoreStep::Try, 0},
        {"past the minute, try due", 1000, 60800, 61100, RestoreStep::GiveUp, 0},
        {"past the minute, try not yet due", 1000, 60900, 61100, RestoreStep::Wait, 100},
        {"tick count wrapping", 0xFFFFFF00u, 0xFFFFFF00u, 0x0000002Cu, RestoreStep::Try, 0},
        {"tick count wrapping, a minute on", 0xFFFFFF00u, 0x0000E834u, 0x0000E960u, RestoreStep::Try, 0},
        {"tick count wrapping, past the minute", 0xFFFFFF00u, 0x0000E900u, 0x0000EA2Cu, RestoreStep::GiveUp, 0},
    };
    for (const StepCase& c : cases) {
        SurfaceRestore r;
        r.Lost(c.lostAt);
        if (c.lastTryAt != c.lostAt) r.Tried(false, c.lastTryAt);
        EXPECT_EQ(c.step, r.Next(c.now)) << c.what;
        EXPECT_EQ(c.waitMs, r.WaitMs(c.now)) << c.what;
        EXPECT_TRUE(r.Waiting()) << c.what;
    }
}

TEST(SurfaceRestore, ARestoreEndsTheWaitAndANewLossStartsItOver) {
    SurfaceRestore r;
    EXPECT_FALSE(r.Waiting());
    EXPECT_EQ(RestoreStep::Wait, r.Next(5000)) << "nothing lost";
    r.Lost(5000);
    r.Tried(false, 5300);
    r.Tried(true, 5600);
    EXPECT_FALSE(r.Waiting());
    EXPECT_EQ(2, r.Tries());
    EXPECT_EQ(RestoreStep::Wait, r.Next(70000)) << "restored: nothing to give up";
    r.Lost(70000);
    EXPECT_EQ(0, r.Tries());
    EXPECT_EQ(RestoreStep::Try, r.Next(70300));
    EXPECT_EQ(10000u, r.LostFor(80000));
}

TEST(SurfaceRestore, ARestartCountsTheMinuteAgain) {
    SurfaceRestore r;
    r.Lost(0);
    r.Tried(false, 59000);
    r.Restart(200000);  // back from a dark display
    EXPECT_EQ(RestoreStep::Wait, r.Next(200000));
    EXPECT_EQ(RestoreStep::Try, r.Next(200300));
    EXPECT_EQ(RestoreStep::Try, r.Next(260000));
    EXPECT_EQ(RestoreStep::GiveUp, r.Next(260001));
    SurfaceRestore idle;
    idle.Restart(100);
    EXPECT_FALSE(idle.Waiting()) << "a restart without a loss starts nothing";
}

}  // namespace
