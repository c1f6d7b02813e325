// The item list view's cell texts and its sort comparison, for any counters a transfer can leave
// in an item: unknown sizes and sizes past 4 GiB, fetched past the total, zero speeds.
//
// Input: for two items the total size (8 bytes), fetched size (8), speed (4), try count (2) and
// allowed tries (4); a byte for the column and direction; then each item's save name and URL,
// separated by NULs.
#include "common/text.h"
#include "fuzz_input.h"
#include "lists/download_list.h"
#include "ui/cell_text.h"
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::string decimal(int64_t value) { return std::to_string(value); }

void readCounters(FuzzInput& in, DownloadItem& item) {
    item.totalSize = in.number<uint64_t>();
    item.fetchedSize = in.number<uint64_t>();
    item.speed = in.number<uint32_t>();
    item.tryCount = in.number<uint16_t>();  // tries of one run: each takes at least a retry wait
    item.maxTry = in.number<uint32_t>();
}

void checkRemaining(uint64_t total, uint64_t fetched, uint32_t speed, bool withTime) {
    std::string text = remainingText(total, fetched, speed, withTime);
    if (total == 0) {
        FUZZ_CHECK(text == "? xx:xx:xx");
        return;
    }
    int64_t remaining = static_cast<int64_t>(total - fetched);  // negative when more came than announced
    std::string count = decimal(remaining);
    FUZZ_CHECK(text.compare(0, count.size() + 1, count + " ") == 0);
    std::string_view time = std::string_view(text).substr(count.size() + 1);
    if (!withTime || remaining <= 0 || speed == 0) {
        FUZZ_CHECK(time == "xx:xx:xx");
        return;
    }
    // Hours are not reduced modulo 24: the three fields give back the seconds left.
    unsigned long long hours = 0;
    unsigned minutes = 0, seconds = 0;
    int consumed = 0;
    std::string copy(time);
    FUZZ_CHECK(std::sscanf(copy.c_str(), "%llu:%2u:%2u%n", &hours, &minutes, &seconds, &consumed) == 3);
    FUZZ_CHECK(static_cast<size_t>(consumed) == copy.size());
    FUZZ_CHECK(minutes < 60 && seconds < 60);
    FUZZ_CHECK(hours * 3600 + minutes * 60 + seconds == static_cast<uint64_t>(remaining) / speed);
}

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    auto a = std::make_unique<DownloadItem>();
    auto b = std::make_unique<DownloadItem>();
    readCounters(in, *a);
    readCounters(in, *b);
    uint8_t choice = in.byte();
    int column = choice % (COL_COUNT + 1);  // every column, and one past them
    copyText(a->saveName, in.piece());
    a->url = in.piece();
    copyText(b->saveName, in.piece());
    b->url = in.rest();

    for (const DownloadItem* item : {a.get(), b.get()}) {
        checkRemaining(item->totalSize, item->fetchedSize, item->speed, true);
        checkRemaining(item->totalSize, item->fetchedSize, item->speed, false);
        FUZZ_CHECK(cellText(*item, COL_REMAINING) == remainingText(item->totalSize, item->fetchedSize, item->speed));
        FUZZ_CHECK(cellText(*item, COL_SIZE) == (item->totalSize == 0 ? "?" : std::to_string(item->totalSize)));
        FUZZ_CHECK(cellText(*item, COL_FETCHED) == std::to_string(item->fetchedSize));
        FUZZ_CHECK(cellText(*item, COL_SPEED) == decimal(item->speed));
        FUZZ_CHECK(cellText(*item, COL_TRIES) ==
                   decimal(item->tryCount) + "/" + decimal(static_cast<int32_t>(item->maxTry)));
        FUZZ_CHECK(cellText(*item, COL_NAME) == textOf(item->saveName));
        FUZZ_CHECK(cellText(*item, COL_URL) == item->url);
        FUZZ_CHECK(cellText(*item, COL_COUNT).empty());
    }

    // Descending is ascending turned round, and an item equals itself.
    int ascending = compareItems(*a, *b, column, 1, std::strcmp);
    int descending = compareItems(*a, *b, column, choice >> 7 ? 0 : -1, std::strcmp);
    FUZZ_CHECK(sign(descending) == -sign(ascending));
    FUZZ_CHECK(compareItems(*a, *a, column, 1, std::strcmp) == 0);
    FUZZ_CHECK(compareItems(*b, *b, column, 0, std::strcmp) == 0);
    return 0;
}
