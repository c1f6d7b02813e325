// The main window's two timers, the automatic exit at a time of day and the automatic save at an
// interval, and what an exit by the timer does before the window goes: hang up the dial-up
// connections and shut Windows down, each when the settings ask for it.
#pragma once
#include <windows.h>

constexpr UINT_PTR kExitTimer = 4000;
constexpr UINT_PTR kAutoSaveTimer = 4010;

// Arms both timers as the main window is created.
void startProgramTimers(HWND window);

// (Re)arms the exit timer from the program settings and the clock; `final` for the last stretch.
// Neither arms anything once the close has begun.
void armExitTimer(HWND window, bool final);
void armAutoSaveTimer(HWND window);

// WM_TIMER of the main window for one of the two timers.
void onProgramTimer(HWND window, UINT_PTR timer);

// WM_TIMECHANGE: both timers from the new clock, unless the exit is in its last stretch.
void onTimeChange(HWND window);

// Every WM_CLOSE: neither timer fires again, and the close has begun.
void killProgramTimers(HWND window);

// True once the close has begun: it has saved the settings already.
bool programClosing();

// Before the main window is destroyed: when the exit timer closed the program, the hang-up and
// shutdown the settings ask for, each confirmed by a countdown the user may cancel.
void runExitActions(HWND window);
