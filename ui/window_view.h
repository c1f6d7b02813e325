#pragma once
#include <windows.h>

// Messages through which other threads have the UI thread do what must happen on it (create a
// window, take the focus). Sent, so the caller waits until it is done.
enum : UINT {
    WM_SHOW_LIST = WM_APP + 1,         // lParam: the list to show
    WM_REFRESH_COMMANDS = WM_APP + 2,
    WM_SAVE_PROGRESS = WM_APP + 3,     // wParam 0 show (lParam total), 1 step, 2 hide
    WM_UPDATE_CELLS = WM_APP + 4,      // lParam: a CellUpdate
    WM_ALL_ROWS = WM_APP + 5,          // wParam: kRebuildRows or kRewriteRows, lParam: the list
};

// What WM_ALL_ROWS does with every row of the list.
enum : WPARAM { kRebuildRows, kRewriteRows };

// The cells of one row to write on the UI thread.
struct CellUpdate {
    int row;
    const struct DownloadItem* item;
    const int* columns;
    int count;
};

// Carries out WM_ALL_ROWS on the UI thread.
void changeAllRows(WPARAM what, struct DownloadList& list);

// Makes the view of the program the real windows' (call once the panes exist).
void useWindowView();
