#include "lists/item_log.h"
#include "lists/item_chain.h"
#include <cstring>
#include <new>

namespace {
bool inOwnList(const DownloadItem& item) {
    return item.listIndex >= 0 && item.listIndex < kListSlots && downloadLists[item.listIndex].inUse &&
           itemPosition(downloadLists[item.listIndex], &item) >= 0;
}
}  // namespace

char* duplicateText(std::string_view text) {
    char* copy = new (std::nothrow) char[text.size() + 1];
    if (!copy) return nullptr;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

int logLineCount(const DownloadItem& item) {
    int n = 0;
    for (const LogLine* line = item.logHead; line; line = line->next) ++n;
    return n;
}

void freeLog(DownloadItem& item) {
    for (LogLine* line = item.logHead; line;) {
        LogLine* next = line->next;
        delete[] line->text;
        delete line;
        line = next;
    }
    item.logHead = nullptr;
}

LogAppend adoptLogLine(DownloadItem& item, char* text) {
    LogLine* node = inOwnList(item) ? new (std::nothrow) LogLine{text, nullptr} : nullptr;
    if (!node) {
        delete[] text;
        return LogAppend::Refused;
    }
    LogAppend result = LogAppend::Added;
    if (logLineCount(item) >= kMaxLogLines) {
        freeLog(item);
        result = LogAppend::Restarted;
    }
    LogLine** link = &item.logHead;
    while (*link) link = &(*link)->next;
    *link = node;
    return result;
}

LogAppend appendLogLine(DownloadItem& item, std::string_view text) {
    char* copy = duplicateText(text);
    return copy ? adoptLogLine(item, copy) : LogAppend::Refused;
}
