#include "ui/cell_text.h"
#include "lists/download_list.h"
#include <climits>
#include <cstdio>

std::string remainingText(uint32_t totalSize, uint32_t fetchedSize, uint16_t speed, bool withTime) {
    if (totalSize == 0) return "? xx:xx:xx";
    uint32_t remaining = totalSize - fetchedSize;
    char text[48];
    if (withTime && remaining != 0 && speed != 0) {
        uint32_t seconds = remaining / speed;
        std::snprintf(text, sizeof text, "%d %02d:%02d:%02d", static_cast<int>(remaining),
                      static_cast<int>(seconds / 3600), static_cast<int>(seconds % 3600 / 60),
                      static_cast<int>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%d xx:xx:xx", static_cast<int>(remaining));
    }
    return text;
}

std::string cellText(const DownloadItem& item, int column, bool withTime) {
    char text[32];
    switch (column) {
    case COL_NAME: return item.saveName;
    case COL_SIZE:
        if (item.totalSize == 0) return "?";
        std::snprintf(text, sizeof text, "%d", static_cast<int>(item.totalSize));
        return text;
    case COL_FETCHED: std::snprintf(text, sizeof text, "%d", static_cast<int>(item.fetchedSize)); return text;
    case COL_REMAINING: return remainingText(item.totalSize, item.fetchedSize, item.speed, withTime);
    case COL_SPEED: std::snprintf(text, sizeof text, "%d", static_cast<int>(item.speed)); return text;
    case COL_TRIES:
        std::snprintf(text, sizeof text, "%d/%d", static_cast<int>(item.tryCount), static_cast<int>(item.maxTry));
        return text;
    case COL_URL: return item.url;
    default: return {};
    }
}

int compareItems(const DownloadItem& a, const DownloadItem& b, int column, int direction,
                 int (*compareText)(const char*, const char*)) {
    int result = 0;
    switch (column) {
    case COL_NAME: result = compareText(a.saveName, b.saveName); break;
    case COL_SIZE: result = static_cast<int32_t>(a.totalSize - b.totalSize); break;
    case COL_FETCHED: result = static_cast<int32_t>(a.fetchedSize - b.fetchedSize); break;
    case COL_REMAINING:
        result = static_cast<int32_t>((a.totalSize - a.fetchedSize) - (b.totalSize - b.fetchedSize));
        break;
    case COL_SPEED: result = static_cast<int>(a.speed) - static_cast<int>(b.speed); break;
    case COL_TRIES: result = a.tryCount - b.tryCount; break;
    case COL_URL: result = compareText(a.url, b.url); break;
    }
    if (direction == 1) return result;
    // A difference of exactly 2^31 wraps to INT_MIN, which has no negation in an int.
    return result == INT_MIN ? INT_MAX : -result;
}
