// The item list view (control 8000): seven columns of progress per item of the current list, its
// rows kept by the row operations, its own header sorting and Alt+Up / Alt+Down.
#pragma once
#include "lists/download_list.h"
#include <windows.h>
#include <commctrl.h>

// Creates the control with its columns (titles and widths from the program settings), font and
// state icons, and subclasses it. The rewriting flag is set while rows are rewritten.
HWND createItemListView(HWND parent, HFONT font);

// Row operations on the control; `row` is the item's row in the current list.
void insertItemRow(HWND list, int row, DownloadItem& item);
void rebuildItemRows(HWND list, DownloadList& from);
void rewriteItemRows(HWND list, DownloadList& from);
void setItemRowIcon(HWND list, int row, const DownloadItem& item);
void setItemRowCells(HWND list, int row, const DownloadItem& item, const int* columns, int count);

// Sorts the rows by `column` with the direction flag; true when the control sorted them.
bool sortItemRows(HWND list, int column, int direction);

// Column widths as they are now, for saving them.
void readColumnWidths(HWND list, int32_t* widths);

// True while the rows are being rewritten: change notices of the control are then ignored.
bool rewritingRows();

// The state icons (image 3, the finished check, also marks checked menu entries).
HIMAGELIST itemStateImages();

void destroyItemListImages();
