// Creating, resetting and freeing items, and the operations that read the selection of the item
// list view. UI thread unless said otherwise.
#pragma once
#include "common/view.h"
#include "lists/download_list.h"
#include "lists/save_path_claims.h"
#include <mutex>
#include <string_view>

// Appends a new item for `url` to the list in `slot` (position is where the caller's rows end; the
// item always goes to the end of the chain). Returns null after telling the user when memory runs
// out; callers then stop adding items. A caller adding many items passes the last one it added as
// `last` (it must still be the list's last item), which saves walking the chain for each of them.
DownloadItem* createItem(int slot, int position, std::string_view url, DownloadItem* last = nullptr);

// createItem for an item whose bytes present the caller looks up itself (the item-list reader, in
// one listing per folder); the item's counters start at 0. A `storedPath` is taken as it is, in
// place of the free path the URL's name would get.
DownloadItem* createItemUnsized(int slot, std::string_view url, DownloadItem* last, std::string_view storedPath = {});

// The rows of the list in `slot`: the shown list's are in the view, another list's are its items.
int rowsOf(int slot);

// createItem, and the item's row at `row` when the list in `slot` is the one the item list view
// shows (rows of other lists are built when they become current).
DownloadItem* addItemWithRow(int slot, int row, std::string_view url);

// The save-path lock: every write of an item's savePath, and every search for a free path, holds
// it, so that the search of one thread never reads a path another thread is writing. Any thread;
// nothing else is locked or waited for while it is held.
class SavePathGuard {
  public:
    SavePathGuard();
    SavePathGuard(const SavePathGuard&) = delete;
    SavePathGuard& operator=(const SavePathGuard&) = delete;

  private:
    std::lock_guard<std::mutex> hold_;
};

// The save paths every item of the program claims. Under the save-path lock.
SavePathIndex& savePaths();

// Gives `item` the path `path`, the name shown for it and the rule that named it; every write of a
// save path goes through here, so that the claims stay true. Under the save-path lock.
void setSavePath(DownloadItem& item, std::string_view path, uint8_t source);

// The first path for `name` in `folder` that no other item claims, given to `item` with `source`
// (or its numbered form). False, the path unchanged, when the folder leaves no candidate free.
// Takes the save-path lock.
bool claimSavePath(DownloadItem& item, std::string_view folder, std::string_view name, uint8_t source);

// Starts the item afresh after its URL and save path were edited.
void resetItem(DownloadItem& item);

// Frees the item's log and the item, and gives up its save path; it must already be out of its
// chain. Takes the save-path lock.
void freeItem(DownloadItem* item);

// Frees every item of the list with its log and empties the chain.
void freeAllItems(DownloadList& list);

// Reads the selected and focused marks of every row into the items of the current list, and the
// top row into its topIndex. Returns the number of selected items. UI or scheduler thread.
int syncSelectionMarks(View& view);

void moveSelectedUp(View& view);
void moveSelectedDown(View& view);
void selectAll(View& view);
