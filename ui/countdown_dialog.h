// The confirmation dialog (template 2320, "確認") before an automatic exit, a hang-up, a cut or a
// delete: a message beside a picture, ＯＫ and キャンセル, and optionally a countdown after which it
// answers by itself.
#pragma once
#include <windows.h>

// Shows the dialog modally and returns 6 (ＯＫ), 2 (キャンセル) or 4021 when `seconds` (0 = no
// countdown) ran out. `text` is the message (code page 932); `bitmap` the bitmap resource shown, 32 x
// 32. The shutdown question (bitmap 14) stands centred above the middle of the screen; the others
// next to the mouse cursor.
int runCountdownDialog(HWND owner, const char* text, int bitmap, int seconds);
