// The main window "qvrWndClass": its creation in a fixed order, the command table, the
// notifications of its controls and the two-phase close.
#pragma once
#include <windows.h>

constexpr char kMainWindowClass[] = "qvrWndClass";

bool registerMainWindowClass(HINSTANCE instance);
HWND createMainWindow(HINSTANCE instance);
