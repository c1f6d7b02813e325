// The texts of the item list view's cells. Pure, so the rules (unknown sizes, remaining time with
// hours past 24) are tested natively too.
#pragma once
#include <cstdint>
#include <string>

struct DownloadItem;

enum ItemColumn { COL_NAME = 0, COL_SIZE, COL_FETCHED, COL_REMAINING, COL_SPEED, COL_TRIES, COL_URL, COL_COUNT };

// The text of `column` for the item. `withTime` false writes the remaining column without a time
// estimate ("%d xx:xx:xx"), as rows rewritten after a move show it until the next progress update.
std::string cellText(const DownloadItem& item, int column, bool withTime = true);

// The remaining column for these counters.
std::string remainingText(uint64_t totalSize, uint64_t fetchedSize, uint32_t speed, bool withTime = true);

// Sort comparison of two items by `column`; ascending when `direction` is 1, else descending.
// The string columns compare with `compareText` (locale-aware on Windows).
int compareItems(const DownloadItem& a, const DownloadItem& b, int column, int direction,
                 int (*compareText)(const char*, const char*));
