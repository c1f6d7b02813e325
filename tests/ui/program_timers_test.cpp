// The two window timers of the main window, on a stand-in window.
#include "lists/program_settings.h"
#include "tests/ui/test_window.h"
#include "ui/program_timers.h"
#include <gtest/gtest.h>

namespace {

// KillTimer answers whether the timer was set.
bool armed(HWND window, UINT_PTR timer) { return KillTimer(window, timer) != 0; }

// Once the close has begun, neither a change of the clock nor "更新" of the program settings arms
// a timer again: the exit timer would then make the user's close an exit by timer, with its
// hang-up and shutdown.
TEST(ProgramTimers, NothingArmsThemOnceTheCloseHasBegun) {
    TestWindow main;
    programSettings.useExitTimer = 1;
    programSettings.useAutoSave = 1;
    programSettings.timeHour = 12;
    programSettings.autoSaveTime = 15;
    startProgramTimers(main.window);
    onTimeChange(main.window);
    EXPECT_TRUE(armed(main.window, kExitTimer));
    EXPECT_TRUE(armed(main.window, kAutoSaveTimer));

    killProgramTimers(main.window);
    onTimeChange(main.window);
    armExitTimer(main.window, false);
    armAutoSaveTimer(main.window);
    EXPECT_FALSE(armed(main.window, kExitTimer));
    EXPECT_FALSE(armed(main.window, kAutoSaveTimer));
}

}  // namespace
