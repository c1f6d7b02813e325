#include "common/text.h"
#include "lists/item_chain.h"
#include "lists/item_list_file.h"
#include "lists/item_list_format.h"
#include "lists/items.h"
#include "lists/list_lifecycle.h"
#include "tests/unit/message_recorder.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct ItemListFile : ::testing::Test {
    TempFolder temp;
    RecordingView recorder;
    std::string qvr;
    void SetUp() override {
        usePathsIn(temp.path());
        view = &recorder;
        for (DownloadList& l : downloadLists) l = DownloadList{};
        CreateDirectoryA((temp.path() + "setting").c_str(), nullptr);
        CreateDirectoryA((temp.path() + "download").c_str(), nullptr);
        DownloadList& l = downloadLists[0];
        copyText(l.tabName, "default");
        setDefaultSettings(l);
        l.inUse = 1;
        qvr = temp.path() + "setting\\default.qvr";
        copyText(l.itemListFilePath, qvr);
        currentList = &l;
    }
    void TearDown() override {
        releaseAllLists();
        for (DownloadList& l : downloadLists) l = DownloadList{};
        view = nullptr;
    }
    std::vector<DownloadItem*> items() {
        std::vector<DownloadItem*> v;
        for (DownloadItem* i = downloadLists[0].head; i; i = i->next) v.push_back(i);
        return v;
    }
};

TEST_F(ItemListFile, EveryItemReadsTheSizeOfItsOwnFile) {
    std::string download = temp.path() + "download\\", elsewhere = temp.path() + "other\\";
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    auto sized = [](const std::string& path, int64_t size) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    };
    sized(download + "small.bin", 1000);
    sized(download + "Mixed.BIN", 77);
    sized(download + "two.gib", 0x80000001LL);   // past 2 GiB
    sized(download + "big.gib", 0x100000010LL);  // past 4 GiB
    sized(download + "hidden.part", 5);
    SetFileAttributesA((download + "hidden.part").c_str(), FILE_ATTRIBUTE_HIDDEN);
    sized(elsewhere + "moved.bin", 4321);
    CreateDirectoryA((download + "folder.bin").c_str(), nullptr);
    std::string stored = formatItemRecord("http://h/small.bin", "", 0, false) +
                         formatItemRecord("http://h/mixed.bin", "", 0, false) +
                         formatItemRecord("http://h/two.gib", "", 0, false) +
                         formatItemRecord("http://h/big.gib", "", 0, false) +
                         formatItemRecord("http://h/hidden.part", "", 0, false) +
                         formatItemRecord("http://h/moved.bin", elsewhere + "moved.bin", 0, false) +
                         formatItemRecord("http://h/missing.bin", "", 0, false) +
                         formatItemRecord("http://h/folder.bin", "", 0, false);
    writeFile(qvr, stored);
    readAllItemLists();
    std::vector<uint64_t> sizes;
    for (DownloadItem* item : items()) {
        sizes.push_back(item->fetchedSize);
        EXPECT_EQ(item->startSize, item->fetchedSize) << item->url;
    }
    EXPECT_EQ(sizes, (std::vector<uint64_t>{1000, 77, 0x80000001u, 0x100000010u, 5, 4321, 0, 0}));
    // The same numbers as an item made afresh for each of them, once the stored items no longer
    // hold their paths (a new item would get a free one beside them).
    std::vector<std::pair<std::string, std::string>> read;
    for (DownloadItem* item : items()) read.emplace_back(item->url, item->savePath);
    freeAllItems(downloadLists[0]);
    for (size_t i = 0; i < read.size(); ++i) {
        DownloadItem* fresh = createItem(1, 0, read[i].first);
        if (read[i].second == fresh->savePath) {
            EXPECT_EQ(fresh->fetchedSize, sizes[i]) << read[i].first;
        }
    }
    freeAllItems(downloadLists[1]);
}

TEST_F(ItemListFile, SavedListReadsBackWithPathsSizesAndFinishedFlag) {
    DownloadItem* a = createItem(0, 0, "http://h/a.zip");
    DownloadItem* b = createItem(0, 1, "ftp://h/dir/b.bin");
    DownloadItem* c = createItem(0, 2, "http://h/c.iso");
    a->totalSize = 1000;
    a->state = Finished;
    {
        SavePathGuard guard;
        setSavePath(*b, temp.path() + "elsewhere\\b.bin", b->nameSource);
    }
    b->totalSize = 3000000000u;
    b->state = Failed;
    c->state = DeleteRequested;  // written like any other item
    c->totalSize = (uint64_t{1} << 40) + 5;
    a->validator = "E\"v1\"";
    b->validator = "M20261208100000";
    writeAllItemLists();
    // Sizes are unsigned decimals of any width; none is written as a negative number any more.
    std::string written = readFile(qvr);
    EXPECT_NE(written.find("\r\r\n3000000000\r\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\r\n1099511627781\r\r\n"), std::string::npos);
    EXPECT_EQ(recorder.saveProgressTotal, 3);
    EXPECT_EQ(recorder.saveProgressSteps, 3);
    EXPECT_EQ(recorder.saveProgressHidden, 1);

    readAllItemLists();
    auto back = items();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0]->url, "http://h/a.zip");
    EXPECT_EQ(back[0]->state, Finished);
    EXPECT_EQ(back[0]->totalSize, 1000u);
    EXPECT_EQ(std::string(back[1]->savePath), temp.path() + "elsewhere\\b.bin");
    EXPECT_STREQ(back[1]->saveName, "b.bin");
    EXPECT_EQ(back[1]->nameSource, NameStored);
    EXPECT_EQ(back[0]->nameSource, NameFromUrl);
    EXPECT_EQ(back[1]->totalSize, 3000000000u);
    EXPECT_EQ(back[1]->state, Idle);
    EXPECT_EQ(back[2]->state, Idle);
    EXPECT_EQ(back[2]->totalSize, (uint64_t{1} << 40) + 5);
    // The validators come back with their items' files, in a file of their own beside the list's.
    EXPECT_EQ(back[0]->validator, "E\"v1\"");
    EXPECT_EQ(back[1]->validator, "M20261208100000");
    EXPECT_EQ(back[2]->validator, "");

    // A list saved by an earlier version wrote 3000000000 as "%d" of 32 bits: it still reads 3000000000.
    writeFile(qvr, "http://h/old.iso\r\r\n\r\r\n-1294967296\r\r\n0\r\r\n");
    readAllItemLists();
    back = items();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->totalSize, 3000000000u);
}

// With a URL of thousands of characters, or without one (then as earlier versions wrote it).
TEST_F(ItemListFile, RewritingAFileGivesTheSameBytes) {
    std::string bytes = "http://h/a.zip\r\r\n" + temp.path() + "x\\a.zip\r\r\n77\r\r\n1\r\r\n" + "ftp://h/b\r\r\n" +
                        temp.path() + "download\\b\r\r\n0\r\r\n0\r\r\n";
    std::string longUrl = "https://h/c.iso/" + std::string(3000, 's') + "\r\r\n" + temp.path() + "c.iso\r\r\n9\r\r\n0\r\r\n";
    for (const std::string& file : {bytes, bytes + longUrl}) {
        writeFile(qvr, file);
        readAllItemLists();
        writeAllItemLists();
        EXPECT_EQ(readFile(qvr), file);
    }
}

TEST_F(ItemListFile, SaveFileThatGrewOrVanishedGivesItsCurrentSize) {
    writeFile(temp.path() + "download\\grown.bin", std::string(500, 'g'));
    writeFile(qvr, "http://h/grown.bin\n" + temp.path() + "download\\grown.bin\n900\n0\n"
                   "http://h/gone.bin\n" + temp.path() + "download\\gone.bin\n900\n0\n"
                   "http://h/derived.bin\n\n\n\n");
    writeFile(temp.path() + "download\\derived.bin", std::string(33, 'd'));
    readAllItemLists();
    auto back = items();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0]->fetchedSize, 500u);
    EXPECT_EQ(back[0]->totalSize, 900u);
    EXPECT_EQ(back[1]->fetchedSize, 0u);
    EXPECT_EQ(std::string(back[2]->savePath), temp.path() + "download\\derived.bin");
    EXPECT_EQ(back[2]->fetchedSize, 33u);
    EXPECT_EQ(back[2]->totalSize, 0u);
}

TEST_F(ItemListFile, MissingFileIsReportedAndTheListStaysEmpty) {
    MessageRecorder messages;
    readAllItemLists();
    EXPECT_TRUE(items().empty());
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "[ " + qvr + " ] \n\nが有りません");
    EXPECT_EQ(messages.messages()[0].caption, "報告");
}

TEST_F(ItemListFile, FailedWriteKeepsTheLastGoodFileAndSaysSo) {
    MessageRecorder messages;
    writeFile(qvr, "http://h/old\r\r\nC:\\old\r\r\n1\r\r\n0\r\r\n");
    createItem(0, 0, "http://h/new");
    CreateDirectoryA((qvr + ".new").c_str(), nullptr);  // the new file cannot be written
    writeAllItemLists();
    EXPECT_EQ(readFile(qvr), "http://h/old\r\r\nC:\\old\r\r\n1\r\r\n0\r\r\n");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "[ " + qvr + " ] の保存に失敗");
    RemoveDirectoryA((qvr + ".new").c_str());
    writeAllItemLists();
    EXPECT_EQ(readFile(qvr).rfind("http://h/new\r\r\n", 0), 0u);
    EXPECT_EQ(messages.messages().size(), 1u) << "a save that works says nothing";
}

TEST_F(ItemListFile, GarbageFileLoadsWhatItCan) {
    std::string junk = "http://h/ok\n\n12\n1\n";
    for (int i = 0; i < 3000; ++i) junk += static_cast<char>((i * 97 + 13) & 0xFF);
    writeFile(qvr, junk);
    readAllItemLists();
    auto back = items();
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(back[0]->url, "http://h/ok");
    EXPECT_EQ(back[0]->state, Finished);
    for (DownloadItem* i : back) EXPECT_LE(i->url.size(), kMaxUrlLength);
}

}  // namespace
