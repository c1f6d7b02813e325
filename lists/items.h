// Creating, resetting and freeing items, and the operations that read the selection of the item
// list view. UI thread unless said otherwise.
#pragma once
#include "common/view.h"
#include "lists/download_list.h"
#include <string_view>

// Appends a new item for `url` to the list in `slot` (position is where the caller's rows end; the
// item always goes to the end of the chain). Returns null after telling the user when memory runs
// out; callers then stop adding items. A caller adding many items passes the last one it added as
// `last` (it must still be the list's last item), which saves walking the chain for each of them.
DownloadItem* createItem(int slot, int position, std::string_view url, DownloadItem* last = nullptr);

// createItem for an item whose bytes present the caller looks up itself (the item-list reader, in
// one listing per folder); the item's counters start at 0.
DownloadItem* createItemUnsized(int slot, std::string_view url, DownloadItem* last);

// The rows of the list in `slot`: the shown list's are in the view, another list's are its items.
int rowsOf(int slot);

// createItem, and the item's row at `row` when the list in `slot` is the one the item list view
// shows (rows of other lists are built when they become current).
DownloadItem* addItemWithRow(int slot, int row, std::string_view url);

// Starts the item afresh after its URL and save path were edited.
void resetItem(DownloadItem& item);

// Frees the item's log and the item; it must already be out of its chain.
void freeItem(DownloadItem* item);

// Frees every item of the list with its log and empties the chain.
void freeAllItems(DownloadList& list);

// Reads the selected and focused marks of every row into the items of the current list, and the
// top row into its topIndex. Returns the number of selected items. UI or scheduler thread.
int syncSelectionMarks(View& view);

void moveSelectedUp(View& view);
void moveSelectedDown(View& view);
void selectAll(View& view);
