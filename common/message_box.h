// The program's message boxes. Every notice goes through showMessage so that tests can answer them
// instead of a person.
#pragma once

// Captions of the program's notices.
inline constexpr const char* kCaptionReport = "報告";
inline constexpr const char* kCaptionError = "エラー報告";

// Shows `text` with `caption` and MessageBoxA `flags`; returns the button pressed.
int showMessage(const char* text, const char* caption, unsigned flags);

// Notice styles used throughout: topmost, task-modal, with the given icon.
unsigned noticeWarning();
unsigned noticeInformation();

// Test hook: when set, messages go to it instead of the screen.
using MessageHook = int (*)(const char* text, const char* caption, unsigned flags);
void setMessageHook(MessageHook hook);

// The system's text for the calling thread's last error, in a box captioned "error code = %d".
void showSystemError();
