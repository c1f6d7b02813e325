// The program settings dialog (automatic exit and save) and the version dialog.
#pragma once
#include <windows.h>

// Edits the timer values of the program settings in place; "更新" re-arms both timers. Returns
// IDOK or IDCANCEL.
int runProgramSettingsDialog(HWND owner);

// The program's name and version.
void runVersionDialog(HWND owner);
