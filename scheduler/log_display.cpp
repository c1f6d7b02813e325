#include "scheduler/log_display.h"
#include "common/view.h"
#include "lists/item_chain.h"
#include "lists/item_log.h"

namespace {
void display(DownloadItem& item, LogAppend result, const char* text) {
    if (result == LogAppend::Refused || currentList->logItem != &item) return;
    if (result == LogAppend::Restarted) view->clearLogPane();
    view->addLogPaneLine(text);
}

// The last line of the item's log: the one just added.
const char* lastLine(const DownloadItem& item) {
    const LogLine* line = item.logHead;
    while (line && line->next) line = line->next;
    return line ? line->text : "";
}
}  // namespace

void appendAdoptedLogLine(DownloadItem& item, char* text) {
    LogAppend result = adoptLogLine(item, text);
    display(item, result, result == LogAppend::Refused ? "" : lastLine(item));
}

void appendLogLineCopy(DownloadItem& item, std::string_view text) {
    LogAppend result = appendLogLine(item, text);
    display(item, result, result == LogAppend::Refused ? "" : lastLine(item));
}

void showItemLog() {
    view->clearLogPane();
    DownloadItem* item = currentList->logItem;
    if (!item || itemPosition(*currentList, item) < 0) return;
    for (const LogLine* line = item->logHead; line; line = line->next) view->addLogPaneLine(line->text);
}
