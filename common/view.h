// The one interface through which lists, the scheduler and the transfer threads reach the windows.
// The program implements it with the real controls; tests implement it with a recorder.
#pragma once
#include <cstdint>

struct DownloadList;
struct DownloadItem;
struct WindowLayout;

struct View {
    // Row marks of the item list view (kRowSelected | kRowFocused) for `row`.
    virtual uint32_t rowMarks(int row) = 0;
    // Index of the first visible row.
    virtual int topRow() = 0;
    // Puts the selected mark on `row`.
    virtual void selectRow(int row) = 0;
    // Rewrites every row of `list` from its chain (the view ignores its own change notices meanwhile).
    virtual void rewriteAllRows(DownloadList& list) = 0;

    // Cells of one item's row; they do nothing for items not in the current list. Called from
    // transfer threads too: the program carries them out synchronously on the UI thread.
    virtual void updateTries(DownloadItem& item) = 0;
    virtual void updateSize(DownloadItem& item) = 0;
    virtual void updateFetched(DownloadItem& item) = 0;
    virtual void updateProgress(DownloadItem& item) = 0;

    // The row's state icon; again only for items of the current list.
    virtual void updateIcon(DownloadItem& item) = 0;
    // Inserts the row of `item` at `row` (the current list's rows end there); UI thread.
    virtual void insertRow(int row, DownloadItem& item) = 0;
    // Rebuilds the rows of `list` from its chain (items waiting for deletion get no row).
    virtual void rebuildRows(DownloadList& list) = 0;
    // Makes `list` the shown one: title, rows, scroll position, focus and command availability.
    virtual void showList(DownloadList& list) = 0;
    // Enables and disables the commands that depend on the rows and the selection.
    virtual void refreshCommands() = 0;
    // Sorts the rows by `column` in the direction its flag gives; false when nothing was sorted.
    // Afterwards itemAtRow gives the new order.
    virtual bool sortRows(int column, int direction) = 0;
    virtual int rowCount() = 0;
    virtual DownloadItem* itemAtRow(int row) = 0;

    // The log pane: emptied, then one line added at the end (scrolled into view).
    virtual void clearLogPane() = 0;
    virtual void addLogPaneLine(const char* text) = 0;

    // The tab of the list in `slot` shows image 0 (idle) or 1 (busy).
    virtual void setTabImage(int slot, int image) = 0;
    virtual void setStatusText(const char* text) = 0;

    // The progress bar over the status strip while the item lists are written (`total` steps).
    virtual void showSaveProgress(int total) = 0;
    virtual void stepSaveProgress() = 0;
    virtual void hideSaveProgress() = 0;

    // The window's placement, log pane height and column widths, for saving them.
    virtual void readLayout(WindowLayout& layout) = 0;

  protected:
    ~View() = default;
};

// The view of the running program (or of a test); set before any other thread starts.
extern View* view;
