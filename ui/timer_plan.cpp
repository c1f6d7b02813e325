#include "ui/timer_plan.h"
#include <algorithm>

namespace {
constexpr int kEarlySeconds = 60;  // the first firing, before the final stretch
constexpr int kFinalSeconds = 10;  // the last firing, before the exit time
constexpr int32_t kMaxAutoSaveMinutes = 0x7FFFFFFF / 60000;  // a window timer's longest interval
}  // namespace

int secondsUntilExit(int32_t hour, int32_t minute, int now) {
    int at = std::clamp(hour, 0, 24) % 24 * 3600 + std::clamp(minute, 0, 59) * 60;
    int seconds = at - now;
    return seconds < 0 ? seconds + kSecondsPerDay : seconds;
}

ExitTimerPlan planExitTimer(int32_t hour, int32_t minute, int now, bool final) {
    int seconds = secondsUntilExit(hour, minute, now);
    if (final || seconds <= kEarlySeconds) {
        int wait = seconds <= kFinalSeconds ? 1 : seconds - kFinalSeconds;
        return {true, static_cast<uint32_t>(wait) * 1000};
    }
    return {false, static_cast<uint32_t>(seconds - kEarlySeconds) * 1000};
}

uint32_t autoSaveIntervalMs(int32_t minutes) {
    return static_cast<uint32_t>(std::clamp(minutes, 1, kMaxAutoSaveMinutes)) * 60000;
}
