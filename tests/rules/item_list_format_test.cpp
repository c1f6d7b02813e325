#include "lists/item_list_format.h"
#include <gtest/gtest.h>

namespace {

TEST(ItemListFormat, RecordIsFourLinesEndingCrCrLf) {
    EXPECT_EQ(formatItemRecord("http://h/a.zip", "C:\\d\\a.zip", 1234, true),
              "http://h/a.zip\r\r\nC:\\d\\a.zip\r\r\n1234\r\r\n1\r\r\n");
    EXPECT_EQ(formatItemRecord("u", "p", 0, false), "u\r\r\np\r\r\n0\r\r\n0\r\r\n");
    EXPECT_EQ(formatItemRecord("u", "p", 3000000000u, false), "u\r\r\np\r\r\n3000000000\r\r\n0\r\r\n");
    EXPECT_EQ(formatItemRecord("u", "p", (uint64_t{1} << 42) + 1, false), "u\r\r\np\r\r\n4398046511105\r\r\n0\r\r\n");
}

TEST(ItemListFormat, LineEndsReadAlike) {
    for (const char* eol : {"\n", "\r\n", "\r\r\n"}) {
        std::string e = eol;
        auto items = parseItemList("http://h/a" + e + "C:\\a" + e + "10" + e + "1" + e + "ftp://h/b" + e + "C:\\b" +
                                   e + "0" + e + "0" + e);
        ASSERT_EQ(items.size(), 2u) << e.size();
        EXPECT_EQ(items[0].url, "http://h/a");
        EXPECT_EQ(items[0].savePath, "C:\\a");
        EXPECT_EQ(items[0].totalSize, "10");
        EXPECT_TRUE(items[0].finished);
        EXPECT_EQ(items[1].url, "ftp://h/b");
        EXPECT_FALSE(items[1].finished);
    }
}

TEST(ItemListFormat, UrlKeepsItsQuery) {
    auto items = parseItemList("http://h/get.cgi?id=3&x=?\r\r\nC:\\a\r\r\n0\r\r\n0\r\r\n");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].url, "http://h/get.cgi?id=3&x=?");
}

TEST(ItemListFormat, LastRecordMayLackItsLines) {
    auto items = parseItemList("http://h/a\r\r\nC:\\a\r\r\n5\r\r\n1\r\r\nhttp://h/b");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].url, "http://h/b");
    EXPECT_EQ(items[1].savePath, "");
    EXPECT_EQ(items[1].totalSize, "");
    EXPECT_FALSE(items[1].finished);
}

TEST(ItemListFormat, EmptyFirstLineSkipsItsWholeRecord) {
    auto items = parseItemList("\nhttp://not/an/item\n7\n1\nhttp://h/real\n\n\n0\n");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].url, "http://h/real");
    EXPECT_EQ(items[0].savePath, "");
    EXPECT_TRUE(parseItemList("").empty());
    EXPECT_TRUE(parseItemList("?query-only\n\n\n\n").empty());
}

// A URL line is read whole up to 8,192 characters (what this version writes), the other lines up to
// 1023; longer lines are read as several lines.
TEST(ItemListFormat, OverlongLineIsReadAsSeveralLines) {
    std::string url = "http://h/" + std::string(9000, 'x'), path(1100, 'p');
    auto items = parseItemList(url + "\n" + path + "\n1\n1\n");
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].url, url.substr(0, 8192));
    EXPECT_EQ(items[0].savePath, url.substr(8192));
    items = parseItemList("http://h/a\n" + path + "\n1\n1\n");
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].savePath, path.substr(0, 1023));
    EXPECT_EQ(items[0].totalSize, path.substr(1023));
}

TEST(ItemListFormat, LongUrlsReadBackWholeAndKeepTheRecordsInStep) {
    for (size_t length : {1023, 2000, 8192}) {
        std::string url = "http://h/" + std::string(length - 9, 'u');
        std::string file = formatItemRecord(url, "C:\\a", 5, true) + formatItemRecord("http://h/b", "C:\\b", 6, false);
        auto items = parseItemList(file);
        ASSERT_EQ(items.size(), 2u) << length;
        EXPECT_EQ(items[0].url, url) << length;
        EXPECT_EQ(items[0].savePath, "C:\\a");
        EXPECT_TRUE(items[0].finished);
        EXPECT_EQ(items[1].url, "http://h/b");
        EXPECT_EQ(items[1].totalSize, "6");
    }
}

// A NUL in a line ends its text: an item whose URL begins with one is no item, so the file that the
// program writes back (one record per item it shows) reads back alike.
TEST(ItemListFormat, NulEndsTheTextOfALine) {
    using namespace std::string_literals;
    std::string file = "\0http://h/hidden\nC:\\x\n1\n0\n"s + "http://h/a\0junk\nC:\\a\0b\n5\n1\n"s;
    auto items = parseItemList(file);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].url, "http://h/a");
    EXPECT_EQ(items[0].savePath, "C:\\a");
    EXPECT_EQ(items[0].totalSize, "5");
    EXPECT_TRUE(items[0].finished);
}

TEST(ItemListFormat, GarbageNeverBreaksTheReader) {
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 131) & 0xFF);
    auto items = parseItemList(junk);
    for (const StoredItem& item : items) EXPECT_LE(item.url.size(), kMaxUrlLength);
}

TEST(ItemListFormat, WrittenFilesReadBackUnchanged) {
    std::string file = formatItemRecord("http://h/a", "C:\\a", 7, true) + formatItemRecord("ftp://h/b", "C:\\b", 0, false);
    auto items = parseItemList(file);
    std::string again;
    for (const StoredItem& i : items) again += formatItemRecord(i.url, i.savePath, std::stoul(i.totalSize), i.finished);
    EXPECT_EQ(again, file);
}

}  // namespace
