// A main window stand-in for the toolbar, menu and dialog tests, and a way to act while a modal
// loop (a dialog or a tracked menu) runs.
#pragma once
#include <windows.h>
#include <functional>
#include <vector>

// A top-level window with "MAINMENU" that hands menu measuring and drawing to the owner-drawn menu
// code, as the program's main window does, and records what it is told.
struct TestWindow {
    explicit TestWindow(bool visible = false);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND window = nullptr;
};

struct MeasuredEntry {
    UINT command;
    UINT width;
    UINT height;
};
// Entries measured through the test window since the last clear.
extern std::vector<MeasuredEntry> measuredEntries;

// Calls `action` once, `delay` ms from now, from whatever message loop this thread runs then.
void callLater(UINT delay, std::function<void()> action);

// A visible window of this thread with the class and, when given, the title; null when none. Other
// programs on the same display (the end-to-end tests) can show dialogs and menus at the same time.
HWND findOwnWindow(const char* className, const char* title = nullptr);

// Drops every call of callLater that has not happened yet (end of a test).
void cancelPendingCalls();
