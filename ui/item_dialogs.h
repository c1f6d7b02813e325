// The two item dialogs: a new item (or a numbered series of them) typed by hand, and the change of
// one item's URL, save folder and save name.
#pragma once
#include "lists/download_list.h"
#include <windows.h>

// The new-item dialog for the list of the selected tab, modal to `owner`: "展開テスト" previews the
// URLs a pattern stands for, "登録" stores the save folder and structure choice as the list's and
// adds the items. A text that cannot become items is refused with the reason and the dialog stays.
// Returns IDOK when items were registered, IDCANCEL otherwise.
int runNewItemDialog(HWND owner);

// The edit-item dialog for `item`, which the scheduler named (it may have gone since: then nothing
// is shown). A change stops the item's transfer, waits for its thread to end, and resets the item
// onto the new URL and save path. The program answers while the dialog waits; キャンセル then, a
// thread that has not ended within 30 seconds, or the item's deletion gives the edit up, and the
// user is told. Returns IDOK when the item changed or stayed as it was after "更新", IDCANCEL
// otherwise.
int runEditItemDialog(HWND owner, DownloadItem* item);
