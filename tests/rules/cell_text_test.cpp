#include "lists/download_list.h"
#include "ui/cell_text.h"
#include <cstring>
#include <gtest/gtest.h>

namespace {

DownloadItem itemWith(uint64_t total, uint64_t fetched, uint32_t speed) {
    DownloadItem item{};
    item.totalSize = total;
    item.fetchedSize = fetched;
    item.speed = speed;
    return item;
}

TEST(CellText, UnknownSizeShowsQuestionMarks) {
    DownloadItem item = itemWith(0, 500, 100);
    EXPECT_EQ(cellText(item, COL_SIZE), "?");
    EXPECT_EQ(cellText(item, COL_REMAINING), "? xx:xx:xx");
    EXPECT_EQ(cellText(item, COL_FETCHED), "500");
}

TEST(CellText, RemainingWithoutSpeedOrWhenDone) {
    EXPECT_EQ(remainingText(1000, 400, 0), "600 xx:xx:xx");
    EXPECT_EQ(remainingText(1000, 1000, 50), "0 xx:xx:xx");
    EXPECT_EQ(remainingText(1000, 400, 50, false), "600 xx:xx:xx");
}

TEST(CellText, RemainingTimeHoursAreNotReducedModulo24) {
    EXPECT_EQ(remainingText(3725, 0, 1), "3725 01:02:05");
    EXPECT_EQ(remainingText(400000000, 0, 1000), "400000000 111:06:40");
    EXPECT_EQ(remainingText(4000000000u, 0, 1), "4000000000 1111111:06:40");
}

TEST(CellText, TriesSpeedNameAndUrl) {
    DownloadItem item = itemWith(10, 0, 321);
    item.tryCount = 1;
    item.maxTry = 10;
    std::strcpy(item.saveName, "a.zip");
    item.url = "http://h/a.zip";
    EXPECT_EQ(cellText(item, COL_TRIES), "1/10");
    EXPECT_EQ(cellText(item, COL_SPEED), "321");
    EXPECT_EQ(cellText(item, COL_NAME), "a.zip");
    EXPECT_EQ(cellText(item, COL_URL), "http://h/a.zip");
}

TEST(CellText, ComparatorFollowsTheDirectionFlag) {
    DownloadItem small = itemWith(10, 0, 0), big = itemWith(20, 0, 0);
    EXPECT_GT(compareItems(small, big, COL_SIZE, 0, std::strcmp), 0) << "flag 0 sorts descending";
    EXPECT_LT(compareItems(small, big, COL_SIZE, 1, std::strcmp), 0);
    std::strcpy(small.saveName, "b");
    std::strcpy(big.saveName, "a");
    EXPECT_GT(compareItems(small, big, COL_NAME, 1, std::strcmp), 0);
    DownloadItem nearlyDone = itemWith(100, 90, 0), justStarted = itemWith(100, 10, 0);
    EXPECT_LT(compareItems(nearlyDone, justStarted, COL_REMAINING, 1, std::strcmp), 0);
}

TEST(CellText, SizesPastTwoAndFourGiBShowAndSortAsTheyAre) {
    constexpr uint64_t k2G = uint64_t{1} << 31, k4G = uint64_t{1} << 32, k1T = uint64_t{1} << 40;
    struct Row {
        uint64_t total, fetched;
        const char *size, *fetchedText, *remaining;
    } rows[] = {
        {k2G - 1, 0, "2147483647", "0", "2147483647 xx:xx:xx"},
        {k2G, k2G - 1, "2147483648", "2147483647", "1 xx:xx:xx"},
        {k4G - 1, k4G - 2, "4294967295", "4294967294", "1 xx:xx:xx"},
        {k4G + 1, k4G, "4294967297", "4294967296", "1 xx:xx:xx"},
        {k1T, k4G + 5, "1099511627776", "4294967301", "1095216660475 xx:xx:xx"},
        {0, k1T, "?", "1099511627776", "? xx:xx:xx"},
        {k4G, k4G + 10, "4294967296", "4294967306", "-10 xx:xx:xx"},  // more came than announced
    };
    for (const Row& row : rows) {
        DownloadItem item = itemWith(row.total, row.fetched, 0);
        EXPECT_EQ(cellText(item, COL_SIZE), row.size);
        EXPECT_EQ(cellText(item, COL_FETCHED), row.fetchedText);
        EXPECT_EQ(cellText(item, COL_REMAINING), row.remaining);
    }
    EXPECT_EQ(remainingText(k4G + 3600, 0, 60000), "4294970896 19:53:02");

    // Sorting ascending by each size column puts them in the order of their values, whatever the
    // difference between two of them; descending turns every pair round.
    const uint64_t sizes[] = {0, 1, k2G - 1, k2G, k2G + 1, k4G - 1, k4G, k4G + 1, k1T, k1T * 1024};
    for (uint64_t a : sizes)
        for (uint64_t b : sizes) {
            int expected = (a > b) - (a < b);
            DownloadItem x = itemWith(a, a, 0), y = itemWith(b, b, 0);
            auto sign = [](int v) { return (v > 0) - (v < 0); };
            EXPECT_EQ(sign(compareItems(x, y, COL_SIZE, 1, std::strcmp)), expected) << a << " " << b;
            EXPECT_EQ(sign(compareItems(x, y, COL_SIZE, 0, std::strcmp)), -expected) << a << " " << b;
            EXPECT_EQ(sign(compareItems(x, y, COL_FETCHED, 1, std::strcmp)), expected) << a << " " << b;
            DownloadItem left = itemWith(a, 0, 0), other = itemWith(b, 0, 0);
            EXPECT_EQ(sign(compareItems(left, other, COL_REMAINING, 1, std::strcmp)), expected) << a << " " << b;
        }
}

}  // namespace
