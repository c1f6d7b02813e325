#include "ui/window_view.h"
#include "common/view.h"
#include "engine/thread_links.h"
#include "lists/item_chain.h"
#include "lists/item_lock.h"
#include "lists/program_settings.h"
#include "ui/cell_text.h"
#include "ui/item_list_view.h"
#include "ui/panes.h"
#include "ui/tab_control.h"
#include <commctrl.h>

namespace {

DWORD uiThread = 0;

// A transfer thread's row update looks the item up without the scheduler's lock on its side, so it
// takes the lock for the look-up and the update. The UI and scheduler threads already are safe.
class RowLookup {
  public:
    explicit RowLookup(DownloadItem& item) {
        DWORD self = GetCurrentThreadId();
        locked_ = self != uiThread && self != schedulerThreadId;
        if (locked_) enterItemLock();
        row_ = itemRow(*currentList, &item);
    }
    ~RowLookup() {
        if (locked_) leaveItemLock();
    }
    int row() const { return row_; }

  private:
    bool locked_;
    int row_;
};

void updateCells(DownloadItem& item, std::initializer_list<int> columns) {
    RowLookup lookup(item);
    if (lookup.row() < 0) return;
    CellUpdate update{lookup.row(), &item, columns.begin(), static_cast<int>(columns.size())};
    // From another thread the cells go over in one message rather than one per cell.
    if (GetCurrentThreadId() == uiThread)
        setItemRowCells(panes.itemList, update.row, item, update.columns, update.count);
    else
        SendMessageA(panes.main, WM_UPDATE_CELLS, 0, reinterpret_cast<LPARAM>(&update));
}

// A whole-list change from another thread goes over in one message: thousands of cross-thread
// sends, one per cell, would take seconds for a long list.
void allRows(WPARAM what, DownloadList& list) {
    if (GetCurrentThreadId() == uiThread)
        changeAllRows(what, list);
    else
        SendMessageA(panes.main, WM_ALL_ROWS, what, reinterpret_cast<LPARAM>(&list));
}

struct WindowView final : View {
    uint32_t rowMarks(int row) override {
        return static_cast<uint32_t>(
            SendMessageA(panes.itemList, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED));
    }
    int topRow() override { return static_cast<int>(SendMessageA(panes.itemList, LVM_GETTOPINDEX, 0, 0)); }
    void selectRow(int row) override {
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageA(panes.itemList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
    void rewriteAllRows(DownloadList& list) override { allRows(kRewriteRows, list); }
    void updateTries(DownloadItem& item) override { updateCells(item, {COL_TRIES}); }
    // The server may have named the file (Content-Disposition) just before it told the size.
    void updateSize(DownloadItem& item) override { updateCells(item, {COL_NAME, COL_SIZE}); }
    void updateFetched(DownloadItem& item) override { updateCells(item, {COL_FETCHED}); }
    void updateProgress(DownloadItem& item) override { updateCells(item, {COL_REMAINING, COL_FETCHED, COL_SPEED}); }
    void updateIcon(DownloadItem& item) override {
        RowLookup lookup(item);
        if (lookup.row() >= 0) setItemRowIcon(panes.itemList, lookup.row(), item);
    }
    void insertRow(int row, DownloadItem& item) override { insertItemRow(panes.itemList, row, item); }
    void rebuildRows(DownloadList& list) override { allRows(kRebuildRows, list); }
    void showList(DownloadList& list) override {
        SendMessageA(panes.main, WM_SHOW_LIST, 0, reinterpret_cast<LPARAM>(&list));
    }
    void refreshCommands() override { SendMessageA(panes.main, WM_REFRESH_COMMANDS, 0, 0); }
    bool sortRows(int column, int direction) override { return sortItemRows(panes.itemList, column, direction); }
    int rowCount() override { return static_cast<int>(SendMessageA(panes.itemList, LVM_GETITEMCOUNT, 0, 0)); }
    DownloadItem* itemAtRow(int row) override {
        LVITEMA entry{};
        entry.mask = LVIF_PARAM;
        entry.iItem = row;
        SendMessageA(panes.itemList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
        return reinterpret_cast<DownloadItem*>(entry.lParam);
    }
    void clearLogPane() override { ::clearLogPane(); }
    void addLogPaneLine(const char* text) override { ::addLogPaneLine(text); }
    void setTabImage(int slot, int image) override { setTabImageForSlot(panes.tabs, slot, image); }
    void setStatusText(const char* text) override { ::setStatusText(text); }
    void showSaveProgress(int total) override { SendMessageA(panes.main, WM_SAVE_PROGRESS, 0, total); }
    void stepSaveProgress() override { SendMessageA(panes.main, WM_SAVE_PROGRESS, 1, 0); }
    void hideSaveProgress() override { SendMessageA(panes.main, WM_SAVE_PROGRESS, 2, 0); }
    void readLayout(WindowLayout& layout) override {
        layout.minimised = IsIconic(panes.main) != 0;
        RECT r;
        GetWindowRect(panes.main, &r);
        layout.left = r.left;
        layout.top = r.top;
        layout.right = r.right;
        layout.bottom = r.bottom;
        layout.logHeight = programSettings.logHeight;
        readColumnWidths(panes.itemList, layout.columnWidth);
    }
};

WindowView windowView;

}  // namespace

void changeAllRows(WPARAM what, DownloadList& list) {
    if (what == kRebuildRows)
        rebuildItemRows(panes.itemList, list);
    else
        rewriteItemRows(panes.itemList, list);
}

void useWindowView() {
    uiThread = GetCurrentThreadId();
    view = &windowView;
}
