// The power and session rules of a saver run: what each report means and when the display
// counts as dark.
#include "saver/PowerRules.h"

#include <gtest/gtest.h>

namespace {

struct ReportCase {
    const char* what;
    PowerEvent got;
    PowerEvent expected;
};

TEST(PowerRules, EachReportMeansItsEvent) {
    const ReportCase cases[] = {
        {"display state 0", DisplayStateEvent(0), PowerEvent::DisplayOff},
        {"display state 1", DisplayStateEvent(1), PowerEvent::DisplayOn},
        {"display state 2 (dimmed, still lit)", DisplayStateEvent(2), PowerEvent::DisplayOn},
        {"suspend", BroadcastEvent(kApmSuspend), PowerEvent::Suspending},
        {"resume after a user's wake", BroadcastEvent(kApmResumeSuspend), PowerEvent::Resumed},
        {"automatic resume", BroadcastEvent(kApmResumeAutomatic), PowerEvent::Resumed},
        {"battery report", BroadcastEvent(0xA /* PBT_APMPOWERSTATUSCHANGE */), PowerEvent::None},
        {"monitor off", MonitorPowerEvent(kMonitorPowerCommand, 2, false), PowerEvent::DisplayOff},
        {"monitor low power", MonitorPowerEvent(kMonitorPowerCommand, 1, false), PowerEvent::DisplayOff},
        {"monitor on", MonitorPowerEvent(kMonitorPowerCommand, -1, false), PowerEvent::DisplayOn},
        {"monitor off, system bits set", MonitorPowerEvent(kMonitorPowerCommand | 0x2, 2, false),
         PowerEvent::DisplayOff},
        {"monitor off where the display state is reported", MonitorPowerEvent(kMonitorPowerCommand, 2, true),
         PowerEvent::None},
        {"another system command", MonitorPowerEvent(0xF140 /* SC_SCREENSAVE */, 2, false), PowerEvent::None},
        {"session locked", SessionEvent(kSessionLock), PowerEvent::SessionLocked},
        {"session unlocked", SessionEvent(kSessionUnlock), PowerEvent::SessionUnlocked},
        {"remote connect", SessionEvent(0x3), PowerEvent::None},
    };
    for (const ReportCase& c : cases) EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(c.got)) << c.what;
}

TEST(PowerRules, DarkUntilEveryCauseIsGone) {
    PowerState state;
    EXPECT_FALSE(state.Dark());
    EXPECT_FALSE(state.Apply(PowerEvent::None));
    EXPECT_TRUE(state.Apply(PowerEvent::DisplayOff));
    EXPECT_FALSE(state.Apply(PowerEvent::DisplayOff)) << "a repeated report changes nothing";
    EXPECT_TRUE(state.Apply(PowerEvent::SessionLocked));
    EXPECT_TRUE(state.Apply(PowerEvent::DisplayOn));
    EXPECT_TRUE(state.Dark()) << "the display is on but the session is still locked";
    EXPECT_TRUE(state.Apply(PowerEvent::SessionUnlocked));
    EXPECT_FALSE(state.Dark());
    EXPECT_TRUE(state.Apply(PowerEvent::Suspending));
    EXPECT_TRUE(state.Dark());
    EXPECT_TRUE(state.Apply(PowerEvent::Resumed));
    EXPECT_FALSE(state.Dark());
    EXPECT_FALSE(state.Apply(PowerEvent::Resumed));
}

}  // namespace
