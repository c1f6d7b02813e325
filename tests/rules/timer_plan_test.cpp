#include "ui/timer_plan.h"
#include <gtest/gtest.h>

namespace {

constexpr int at(int h, int m, int s = 0) { return h * 3600 + m * 60 + s; }

TEST(TimerPlan, TheExitTimerFiresAMinuteBeforeThenTenSecondsBefore) {
    struct Case {
        int32_t hour, minute;
        int now;
        bool final;
        bool finalPhase;
        uint32_t seconds;
    } cases[] = {
        {10, 30, at(10, 0), false, false, 29 * 60},             // first at 10:29:00
        {10, 30, at(10, 29), true, true, 50},                   // re-armed then: fires at 10:29:50
        {10, 30, at(10, 29, 30), false, true, 20},              // within the minute: straight to the end
        {10, 30, at(10, 29, 55), false, true, 1},               // closer than 10 s: one second
        {10, 30, at(10, 30), false, true, 1},                   // the very second
        {10, 30, at(10, 31), false, false, 86400 - 60 - 60},    // passed: tomorrow, a minute before
        {10, 30, at(11, 0), false, false, 86400 - 1800 - 60},
        {24, 0, at(23, 0), false, false, 3600 - 60},            // hour 24 is tonight's midnight
        {0, 0, at(23, 59, 30), false, true, 20},                // across midnight
        {0, 0, 0, false, true, 1},
        {24, 30, at(0, 29), false, true, 50},                   // 24:30 is half past midnight: one minute
        {24, 30, at(23, 0), false, false, 5400 - 60},           // tonight's, not tomorrow night's
        {24, 59, at(0, 58, 30), false, true, 20},
        {12345, 99, at(23, 0), false, false, 7140 - 60},        // a hand-edited file: as 24:59
    };
    for (const Case& c : cases) {
        ExitTimerPlan plan = planExitTimer(c.hour, c.minute, c.now, c.final);
        EXPECT_EQ(plan.finalPhase, c.finalPhase) << c.hour << ":" << c.minute << " at " << c.now;
        EXPECT_EQ(plan.intervalMs, c.seconds * 1000) << c.hour << ":" << c.minute << " at " << c.now;
    }
}

TEST(TimerPlan, TheAutoSaveIntervalIsAtLeastAMinuteAndFitsAWindowTimer) {
    EXPECT_EQ(autoSaveIntervalMs(15), 15u * 60000);
    EXPECT_EQ(autoSaveIntervalMs(1), 60000u);
    EXPECT_EQ(autoSaveIntervalMs(0), 60000u);
    EXPECT_EQ(autoSaveIntervalMs(-5), 60000u);
    EXPECT_LE(autoSaveIntervalMs(2147483647), 0x7FFFFFFFu);
    EXPECT_GT(autoSaveIntervalMs(2147483647), 24u * 3600 * 1000 * 24);
}

}  // namespace
