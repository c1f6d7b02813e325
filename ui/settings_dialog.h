// The download settings dialog: the name and tab settings of the list of the selected tab.
#pragma once
#include <windows.h>

// Shows the dialog, modal to `owner`. "更新" renames the list when its name changed, applies and
// saves its settings and tells the scheduler: the answer is 1 then, and 2 when the user cancelled.
// The item lock is held only while the list changes, never while the dialog waits for the user.
int runSettingsDialog(HWND owner);
