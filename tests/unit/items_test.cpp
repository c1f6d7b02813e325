#include "common/name_case.h"
#include "common/text.h"
#include "lists/item_chain.h"
#include "lists/item_log.h"
#include "lists/items.h"
#include "tests/unit/message_recorder.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>
#include <map>
#include <windows.h>

namespace {

struct Items : ::testing::Test {
    TempFolder temp;
    DownloadList& list = downloadLists[0];
    void SetUp() override {
        usePathsIn(temp.path());
        list = DownloadList{};
        setDefaultSettings(list);
        list.inUse = 1;
        currentList = &list;
    }
    void TearDown() override {
        freeAllItems(list);
        list = DownloadList{};
    }
    std::string order() {
        std::string s;
        for (DownloadItem* x = list.head; x; x = x->next) s += x->saveName;
        return s;
    }
};

TEST_F(Items, Create_AppendsWithSaveNameAndPathInDefaultFolder) {
    DownloadItem* a = createItem(0, 0, "http://host/dir/a.zip");
    DownloadItem* b = createItem(0, 0, "http://host/b.zip");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(list.head, a);
    EXPECT_EQ(a->next, b);
    EXPECT_STREQ(a->saveName, "a.zip");
    EXPECT_EQ(std::string(a->savePath), temp.path() + "download\\a.zip");
    EXPECT_EQ(a->state, Idle);
    EXPECT_EQ(a->maxTry, 10u);
    EXPECT_EQ(a->fetchedSize, 0u);
}

TEST_F(Items, Create_ExistingFileCountsAsFetched) {
    CreateDirectoryA((temp.path() + "download").c_str(), nullptr);
    writeFile(temp.path() + "download\\part.bin", std::string(1234, 'x'));
    DownloadItem* item = createItem(0, 0, "http://h/part.bin");
    EXPECT_EQ(item->fetchedSize, 1234u);
    EXPECT_EQ(item->startSize, 1234u);
}

// Names from the URL through the system's code page 932 conversion, never the folder itself, and
// never a path another item holds (in this list or another), while a file no item owns is resumed.
TEST_F(Items, Create_NamesAreFileNamesOfTheirOwn) {
    CreateDirectoryA((temp.path() + "download").c_str(), nullptr);
    writeFile(temp.path() + "download\\orphan.bin", "123");
    const struct {
        const char* url;
        const char* name;
        uint64_t present;
    } cases[] = {
        {"http://h/dir/", "index.html", 0},
        {"http://h/get.php?id=5&t=zip", "get.php", 0},
        {"http://h/get.php?id=6&t=zip", "get (2).php", 0},
        {"http://a/readme.txt", "readme.txt", 0},
        {"ftp://b/x/README.TXT", "README (2).TXT", 0},
        {"http://h/%E6%97%A5%E6%9C%AC%E3%82%BD.pdf", "日本ソ.pdf", 0},
        {"http://h/%C3%A9t%C3%A9.txt", "%C3%A9t%C3%A9.txt", 0},  // é only has a look-alike there
        {"http://h/orphan.bin", "orphan.bin", 3},
    };
    for (const auto& c : cases) {
        DownloadItem* item = createItem(0, 0, c.url);
        ASSERT_TRUE(item);
        EXPECT_STREQ(item->saveName, c.name) << c.url;
        EXPECT_EQ(std::string(item->savePath), temp.path() + "download\\" + c.name) << c.url;
        EXPECT_EQ(item->fetchedSize, c.present) << c.url;
    }
    DownloadItem* other = createItem(1, 0, "http://mirror/readme.txt");
    EXPECT_STREQ(other->saveName, "readme (3).txt");
    EXPECT_EQ(other->nameSource, NameFromUrlNumbered);
    freeAllItems(downloadLists[1]);
}

TEST_F(Items, Create_LongUrlStaysWholeAndItsSubFoldersBounded) {
    list.subFolder = 1;
    std::string url = "http://h/" + std::string(1500, 'd') + "/f.zip";
    DownloadItem* item = createItem(0, 0, url);
    EXPECT_EQ(item->url, url);
    EXPECT_LE(textOf(item->savePath).size(), 1023u);
    EXPECT_EQ(std::string(item->savePath).rfind(temp.path() + "download\\h\\", 0), 0u);
}

TEST_F(Items, Reset_ClearsCountersLogAndRereadsTheFile) {
    DownloadItem* item = createItem(0, 0, "http://h/r.bin");
    item->state = Failed;
    item->tryCount = 4;
    item->failStage = 9;
    item->totalSize = 99;
    appendLogLine(*item, "info>失敗");
    list.maxTryNum = 3;
    CreateDirectoryA((temp.path() + "download").c_str(), nullptr);
    writeFile(item->savePath, "12345");
    resetItem(*item);
    EXPECT_EQ(item->state, Idle);
    EXPECT_EQ(item->tryCount, 0);
    EXPECT_EQ(item->failStage, 0);
    EXPECT_EQ(item->totalSize, 0u);
    EXPECT_EQ(item->maxTry, 3u);
    EXPECT_EQ(item->logHead, nullptr);
    EXPECT_EQ(item->fetchedSize, 5u);
}

TEST_F(Items, SelectionSync_ReadsMarksAndSkipsHiddenItems) {
    for (const char* u : {"http://h/a", "http://h/b", "http://h/c", "http://h/d"}) createItem(0, 0, u);
    list.head->next->state = DeleteRequested;  // b has no row: c is row 1, d is row 2
    RecordingView view;
    view.marks = {{1, kRowSelected | kRowFocused}, {2, kRowSelected}};
    view.top = 7;
    EXPECT_EQ(syncSelectionMarks(view), 2);
    EXPECT_EQ(list.head->viewState, 0u);
    EXPECT_EQ(list.head->next->viewState, 0u);
    EXPECT_EQ(list.head->next->next->viewState, kRowSelected | kRowFocused);
    EXPECT_EQ(list.topIndex, 7);
}

TEST_F(Items, Moves_FollowTheViewsSelectionAndRewriteRows) {
    for (const char* u : {"http://h/a", "http://h/b", "http://h/c", "http://h/d"}) createItem(0, 0, u);
    RecordingView view;
    view.marks = {{2, kRowSelected}};
    moveSelectedUp(view);
    EXPECT_EQ(order(), "acbd");
    EXPECT_EQ(view.rewrites, 1);
    view.marks = {{0, kRowSelected}};
    moveSelectedDown(view);
    EXPECT_EQ(order(), "cabd");
    EXPECT_EQ(view.rewrites, 2);
}

TEST_F(Items, Moves_EmptyListDoesNothing) {
    RecordingView view;
    moveSelectedUp(view);
    moveSelectedDown(view);
    EXPECT_EQ(view.rewrites, 0);
}

TEST_F(Items, SelectAll_OneRowPerShownItem) {
    for (const char* u : {"http://h/a", "http://h/b", "http://h/c"}) createItem(0, 0, u);
    list.head->state = Deleting;
    RecordingView view;
    selectAll(view);
    EXPECT_EQ(view.selectedRows, (std::set<int>{0, 1}));
}

// The name rule's table against the system: two codes of code page 932 share a key exactly when
// their UTF-16 characters are one to the system's case-blind ordinal comparison (its upper-case
// table, which the file systems use).
TEST(SavePaths, NameKeysAreTheSystemsCaseBlindComparison) {
    using Upcase = WCHAR(WINAPI*)(WCHAR);
    auto upcase = reinterpret_cast<Upcase>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlUpcaseUnicodeChar")));
    ASSERT_TRUE(upcase);
    std::map<WCHAR, std::string> keyOfUpper;
    std::map<std::string, WCHAR> upperOfKey;
    for (unsigned code = 0x20; code <= 0xFCFC; ++code) {
        std::string text = code < 0x100 ? std::string(1, char(code)) : std::string{char(code >> 8), char(code & 0xFF)};
        WCHAR wide[2];
        if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide, 2) != 1) continue;
        std::string key = nameKey(text);
        WCHAR upper = upcase(wide[0]);
        auto [k, newUpper] = keyOfUpper.emplace(upper, key);
        auto [u, newKey] = upperOfKey.emplace(key, upper);
        EXPECT_EQ(k->second, key) << std::hex << code << ": one to the system, two keys";
        EXPECT_EQ(u->second, upper) << std::hex << code << ": one key, two to the system";
        if (k->second == key && !newUpper) {
            EXPECT_EQ(CompareStringOrdinal(wide, 1, &upper, 1, TRUE), CSTR_EQUAL) << std::hex << code;
        }
    }
    EXPECT_GT(keyOfUpper.size(), 7000u);
}

}  // namespace
