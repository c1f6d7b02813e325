// The main window "qvrWndClass": its creation in a fixed order, the command table, the
// notifications of its controls and the two-phase close.
#pragma once
#include <windows.h>

constexpr char kMainWindowClass[] = "qvrWndClass";

bool registerMainWindowClass(HINSTANCE instance);
HWND createMainWindow(HINSTANCE instance);

// True once the close began: its first step saved every list, and a change made after it would be
// lost, so the commands and dialogs that add or change items refuse it with kClosingText.
bool closeBegun();
inline constexpr const char* kClosingText = "終了処理中のため登録できません";
