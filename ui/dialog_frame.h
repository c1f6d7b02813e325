// What the program's dialogs share: where they appear and the icon they carry.
#pragma once
#include <string>
#include <windows.h>

// How far left of the mouse cursor the small dialogs (confirmation, items) open.
constexpr int kDialogCursorOffset = 64;

// Moves `dialog` so that its left edge is `left` pixels left of the mouse cursor (at least 0) and
// its top is at the cursor; `insertAfter` is its place in the z-order (null: unchanged).
void placeBesideCursor(HWND dialog, int left, HWND insertAfter = nullptr);

// Moves `dialog` so that its left edge is a third of its width left of the mouse cursor (at least
// 0), keeping the height at which it was created (at least 0).
void placeAroundCursor(HWND dialog);

// The program icon as the dialog's big icon.
void setProgramIcon(HWND dialog);

// The whole text of the dialog's control `id`, however long it is.
std::string fieldText(HWND dialog, int id);

// Lets the URL field `id` hold one character more than a URL may have: a longer text pasted into it
// is then refused as too long, where a field that held just enough would cut it and take it.
void limitUrlField(HWND dialog, int id);
