// The windows as tests see them: row marks to answer with, and a record of what was asked of the
// rows and the log pane. Transfer threads call it too, so it counts under a lock.
#pragma once
#include "common/view.h"
#include "lists/download_list.h"
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct RecordingView final : View {
    std::map<int, uint32_t> marks;
    int top = 0;
    int rewrites = 0;
    std::set<int> selectedRows;
    std::vector<std::string> logPane;
    std::mutex mutex;
    int triesUpdates = 0, sizeUpdates = 0, fetchedUpdates = 0, progressUpdates = 0, iconUpdates = 0;
    int rebuilds = 0, commandRefreshes = 0;
    std::vector<DownloadList*> shownLists;
    std::map<int, int> tabImages;
    std::vector<std::string> statusTexts;
    std::vector<DownloadItem*> rows;  // what sortRows leaves behind, for itemAtRow
    bool sortResult = false;
    std::vector<std::pair<int, int>> sorts;

    uint32_t rowMarks(int row) override { return marks.count(row) ? marks[row] : 0; }
    int topRow() override { return top; }
    void selectRow(int row) override { selectedRows.insert(row); }
    void rewriteAllRows(DownloadList&) override { ++rewrites; }
    void updateTries(DownloadItem&) override { count(triesUpdates); }
    void updateSize(DownloadItem&) override { count(sizeUpdates); }
    void updateFetched(DownloadItem&) override { count(fetchedUpdates); }
    std::map<const DownloadItem*, uint32_t> shownFetched;  // the fetched count at each item's last progress update
    void updateProgress(DownloadItem& item) override {
        std::lock_guard<std::mutex> hold(mutex);
        ++progressUpdates;
        shownFetched[&item] = item.fetchedSize;
    }
    void updateIcon(DownloadItem&) override { count(iconUpdates); }
    std::vector<std::pair<int, DownloadItem*>> insertedRows;
    void insertRow(int row, DownloadItem& item) override { insertedRows.push_back({row, &item}); }
    void rebuildRows(DownloadList&) override { ++rebuilds; }
    void showList(DownloadList& list) override { shownLists.push_back(&list); }
    void refreshCommands() override { ++commandRefreshes; }
    bool sortRows(int column, int direction) override {
        sorts.push_back({column, direction});
        return sortResult;
    }
    int rowCount() override { return static_cast<int>(rows.size()); }
    DownloadItem* itemAtRow(int row) override { return rows.at(row); }
    void setTabImage(int slot, int image) override { tabImages[slot] = image; }
    void setStatusText(const char* text) override { statusTexts.push_back(text); }
    int saveProgressTotal = -1, saveProgressSteps = 0, saveProgressHidden = 0;
    void showSaveProgress(int total) override { saveProgressTotal = total; }
    void stepSaveProgress() override { ++saveProgressSteps; }
    void hideSaveProgress() override { ++saveProgressHidden; }
    void readLayout(WindowLayout&) override {}
    void clearLogPane() override { logPane.clear(); }
    void addLogPaneLine(const char* text) override { logPane.push_back(text); }

  private:
    void count(int& counter) {
        std::lock_guard<std::mutex> hold(mutex);
        ++counter;
    }
};
