// Paste from and copy to the clipboard: plain CF_TEXT in code page 932, one URL per line, each
// followed by CR LF. UI thread. Every failure is told to the user here, in a box without owner.
#pragma once
#include <string_view>
#include <windows.h>

// Paste (command 242): every URL in the clipboard's text becomes an item at the end of the current
// list, its row inserted at the end of the item list view; all "http://" and "https://" URLs first, then all
// "ftp://" ones (see paste_scan.h). At 1024 rows the paste stops and says so once; the items added
// before stay. `owner` is the main window, which opens the clipboard. The caller refreshes the
// command availability afterwards.
void pasteUrls(HWND owner);

// Copy (command 241) and the first half of cut: the URLs of the selected items of the current list,
// in list order, each followed by CR LF; the empty text when none is selected. Returns whether the
// clipboard now holds them, so that cut deletes the items only then.
bool copySelectedUrls(HWND owner);

// Puts `text` on the clipboard as CF_TEXT. Returns false after telling the user when the memory
// block or the clipboard cannot be had; the clipboard is then left as it was. (Should the system
// refuse the emptied clipboard's new data, it returns false without a message.)
bool putClipboardText(HWND owner, std::string_view text);
