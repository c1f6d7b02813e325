// When the program's two window timers fire: the automatic exit at a time of day (first one minute
// before it, then, from a fresh reading of the clock, 10 seconds before it) and the automatic save
// at an interval. Pure arithmetic on the settings and the local time, so that it is tested without
// waiting; the window timers only carry it out.
#pragma once
#include <cstdint>

constexpr int kSecondsPerDay = 24 * 3600;

struct ExitTimerPlan {
    bool finalPhase;      // the timer fires 10 s before the exit (or in 1 s when closer than that)
    uint32_t intervalMs;  // from now until the timer fires
};

// Seconds from `now` (seconds since local midnight) until the exit at hour:minute, today or, once
// that has passed, tomorrow. Hour 24 is how many people write the hour after midnight: 24:30 is
// 0:30 of the next day (and 24:00 the midnight that ends today). Values a hand-edited file may hold
// outside 0..24 and 0..59 are brought to the nearest valid ones, so the exit is always within a day.
int secondsUntilExit(int32_t hour, int32_t minute, int now);

// The plan for arming the exit timer at `now`; `final` when the timer that fires one minute before
// re-arms itself.
ExitTimerPlan planExitTimer(int32_t hour, int32_t minute, int now, bool final);

// The automatic save's interval in milliseconds: at least one minute, however small the stored
// value (0 would make the system fire it as fast as it can), and at most what a window timer holds.
uint32_t autoSaveIntervalMs(int32_t minutes);
