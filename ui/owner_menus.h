// Owner-drawn menus: the main menu's and the item popup's entries show the toolbar's pictures beside
// their text, embossed gray pictures when disabled, accelerator texts, and a check picture for the
// view switches. The pictures come from the toolbar's slots, so the toolbar is created first.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Makes the main menu's pictured entries owner-drawn and creates the menu font.
void makeMainMenuOwnerDrawn(HWND mainWindow);

// The item list's small image list; its image 3 is the check mark of checked entries. Until it is
// given, the check mark is the icon of the Finished state.
void setMenuCheckImages(HIMAGELIST images);

// WM_MEASUREITEM and WM_DRAWITEM of menus; true when the entry is one of ours.
bool onMeasureMenuItem(HWND mainWindow, MEASUREITEMSTRUCT* measure);
bool onDrawMenuItem(HWND mainWindow, const DRAWITEMSTRUCT* draw);

// WM_MENUCHAR: owner-drawn entries have no text of their own, so their mnemonic (the character after
// '&') is matched here. True with `result` set when an entry of `menu` matches.
bool onMenuChar(HWND mainWindow, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Right click in the item list: "M_POPUP" at the cursor, its entries enabled when a row is selected.
// Returns when the menu closes; a chosen command arrives afterwards as WM_COMMAND.
void showItemPopup(HWND mainWindow, bool anyRowSelected);

// Sets the check mark of a view switch (460 to 464) in the 表示 menu.
void setViewCheck(HWND mainWindow, int command, bool checked);

// Deletes the menu font (main window destruction).
void destroyMenuResources();
