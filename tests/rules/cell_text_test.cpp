#include "lists/download_list.h"
#include "ui/cell_text.h"
#include <cstring>
#include <gtest/gtest.h>

namespace {

DownloadItem itemWith(uint32_t total, uint32_t fetched, uint16_t speed) {
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
    EXPECT_EQ(remainingText(4000000000u, 0, 1), "-294967296 1111111:06:40");
}

TEST(CellText, TriesSpeedNameAndUrl) {
    DownloadItem item = itemWith(10, 0, 321);
    item.tryCount = 1;
    item.maxTry = 10;
    std::strcpy(item.saveName, "a.zip");
    std::strcpy(item.url, "http://h/a.zip");
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

TEST(CellText, DescendingTurnsRoundEvenTheWidestDifference) {
    // Sizes compare as 32-bit differences; 2 GiB against an unknown size is the one difference
    // that cannot simply be negated.
    DownloadItem twoGiB = itemWith(0x80000000u, 0, 0), unknown = itemWith(0, 0, 0);
    int ascending = compareItems(twoGiB, unknown, COL_SIZE, 1, std::strcmp);
    int descending = compareItems(twoGiB, unknown, COL_SIZE, 0, std::strcmp);
    EXPECT_LT(ascending, 0);
    EXPECT_GT(descending, 0);
    DownloadItem allLeft = itemWith(0x80000000u, 0, 0), done = itemWith(10, 10, 0);
    EXPECT_GT(compareItems(allLeft, done, COL_REMAINING, 0, std::strcmp), 0);
}

}  // namespace
