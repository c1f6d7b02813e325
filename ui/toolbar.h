// The main window's toolbar: 18 small picture buttons with tooltips, the settings button with its
// drop-down menu, and the picture slots that the owner-drawn menus share with it.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Picture slots 0 to 17 are the buttons' pictures in button order; slot 18 is "start at once",
// which only the menus show; 19 and 20 are empty.
inline constexpr int kPictureSlotCount = 21;

// Creates the toolbar (control id 8002) with its buttons, separators and tooltips, and loads every
// picture slot. Common controls must be initialised. Returns null when the window cannot be made.
HWND createToolbar(HWND mainWindow);

// Switches the flat look (TBSTYLE_FLAT) and repaints the bar.
void setToolbarFlat(HWND toolbar, bool flat);

// Answers TBN_DROPDOWN of the settings button: shows "DD_POPUP" below the button; its commands go
// to the main window. The notification's answer is then TBDDRET_DEFAULT (0).
void showSettingsDropDown(HWND mainWindow, HWND toolbar, const NMTOOLBARA* notice);

// Enables or disables the button of `command`; commands without a button are ignored.
void enableToolbarButton(HWND toolbar, int command, bool enabled);

// The 14 x 14 picture of a slot (toolbar colours mapped), or null when the slot holds none.
HBITMAP pictureOfSlot(int slot);

// The gray picture of a slot for disabled menu entries, or null when the slot has none.
HICON grayPictureOfSlot(int slot);
