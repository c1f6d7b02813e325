#include "ui/cell_text.h"
#include "lists/download_list.h"
#include <cstdio>

namespace {

// -1, 0 or 1 as a is below, equal to or above b: a difference of sizes does not fit an int.
template <typename T> int threeWay(T a, T b) { return (a > b) - (a < b); }

// What is left to fetch; negative when a server sent more than it announced.
int64_t remainingOf(uint64_t totalSize, uint64_t fetchedSize) { return static_cast<int64_t>(totalSize - fetchedSize); }

}  // namespace

std::string remainingText(uint64_t totalSize, uint64_t fetchedSize, uint32_t speed, bool withTime) {
    if (totalSize == 0) return "? xx:xx:xx";
    int64_t remaining = remainingOf(totalSize, fetchedSize);
    std::string text = std::to_string(remaining);
    if (!withTime || remaining <= 0 || speed == 0) return text + " xx:xx:xx";
    uint64_t seconds = static_cast<uint64_t>(remaining) / speed;
    std::string hours = std::to_string(seconds / 3600);  // hours past 24 stay hours
    if (hours.size() < 2) hours.insert(0, 1, '0');
    char clock[8];
    std::snprintf(clock, sizeof clock, ":%02d:%02d", static_cast<int>(seconds % 3600 / 60),
                  static_cast<int>(seconds % 60));
    return text + " " + hours + clock;
}

std::string cellText(const DownloadItem& item, int column, bool withTime) {
    char text[32];
    switch (column) {
    case COL_NAME: return item.saveName;
    case COL_SIZE: {
        uint64_t total = sharedRead(item.totalSize);
        return total == 0 ? "?" : std::to_string(total);
    }
    case COL_FETCHED: return std::to_string(sharedRead(item.fetchedSize));
    case COL_REMAINING:
        return remainingText(sharedRead(item.totalSize), sharedRead(item.fetchedSize), item.speed, withTime);
    case COL_SPEED: return std::to_string(item.speed);
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
    case COL_SIZE: result = threeWay(sharedRead(a.totalSize), sharedRead(b.totalSize)); break;
    case COL_FETCHED: result = threeWay(sharedRead(a.fetchedSize), sharedRead(b.fetchedSize)); break;
    case COL_REMAINING:
        result = threeWay(remainingOf(sharedRead(a.totalSize), sharedRead(a.fetchedSize)),
                          remainingOf(sharedRead(b.totalSize), sharedRead(b.fetchedSize)));
        break;
    case COL_SPEED: result = threeWay(a.speed, b.speed); break;
    case COL_TRIES: result = a.tryCount - b.tryCount; break;
    case COL_URL: result = compareText(a.url.c_str(), b.url.c_str()); break;
    }
    return direction == 1 ? result : -result;
}
