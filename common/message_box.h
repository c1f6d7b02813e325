// The program's message boxes. Every notice goes through showMessage so that tests can answer them
// instead of a person.
#pragma once
#include <cstdint>

// Captions of the program's notices.
inline constexpr const char* kCaptionReport = "報告";
inline constexpr const char* kCaptionError = "エラー報告";

// Shows `text` with `caption` and MessageBoxA `flags`; returns the button pressed. A box waits for
// the user, and nothing else may wait meanwhile: while the calling thread holds the item lock the
// box is held back until the lock is let go (and IDOK is returned), and a box of a thread other
// than the one of the report window (see setReportWindow) is shown by that window's thread, owned
// by it, while the caller goes on.
int showMessage(const char* text, const char* caption, unsigned flags);

// The item lock's side of it: the calling thread took the lock (holds boxes back) or let it go (shows
// what was held back once it holds the lock no more).
void holdMessages();
void releaseMessages();

// The window whose thread shows the boxes of other threads: it receives WM_SHOW_REPORT and passes
// its lParam to showPostedReport. Null: every thread shows its own boxes.
void setReportWindow(void* window);
constexpr unsigned WM_SHOW_REPORT = 0x8000 + 20;  // WM_APP + 20
void showPostedReport(intptr_t report);

// Notice styles used throughout: topmost, task-modal, with the given icon.
unsigned noticeWarning();
unsigned noticeInformation();

// Test hook: when set, messages go to it instead of the screen.
using MessageHook = int (*)(const char* text, const char* caption, unsigned flags);
void setMessageHook(MessageHook hook);

// The system's text for the calling thread's last error, in a box captioned "error code = %d".
void showSystemError();
