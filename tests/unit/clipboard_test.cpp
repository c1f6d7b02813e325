// Paste and copy against the real clipboard. The test window owns the clipboard as the main window
// does; a second window plays another program that holds the clipboard open.
#include "intake/clipboard.h"
#include "lists/item_chain.h"
#include "lists/items.h"
#include "lists/tab_strip.h"
#include "tests/unit/fake_tabs.h"
#include "tests/unit/message_recorder.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <cstring>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

using Urls = std::vector<std::string>;
using Rows = std::vector<std::pair<int, std::string>>;

HWND hiddenWindow() { return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr); }

struct ClipboardFixture : ::testing::Test {
    TempFolder temp;
    DownloadList& list = downloadLists[0];
    RecordingView rows;
    MessageRecorder messages;
    View* previousView = view;
    HWND window = hiddenWindow();
    HWND otherProgram = hiddenWindow();

    void SetUp() override {
        usePathsIn(temp.path());
        list = DownloadList{};
        setDefaultSettings(list);
        list.inUse = 1;
        currentList = &list;
        view = &rows;
    }
    void TearDown() override {
        freeAllItems(list);
        list = DownloadList{};
        view = previousView;
        DestroyWindow(window);
        DestroyWindow(otherProgram);
    }

    // Another program's clipboard text; null empties the clipboard.
    void setClipboard(const char* text) {
        ASSERT_TRUE(OpenClipboard(otherProgram));
        EmptyClipboard();
        if (text) {
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
            std::strcpy(static_cast<char*>(GlobalLock(block)), text);
            GlobalUnlock(block);
            EXPECT_TRUE(SetClipboardData(CF_TEXT, block));
        }
        CloseClipboard();
    }
    std::string clipboardText() {
        std::string text = "(no text)";
        if (!OpenClipboard(otherProgram)) return "(not open)";
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }
    Urls itemUrls() const {
        Urls urls;
        for (DownloadItem* item = list.head; item; item = item->next) urls.push_back(item->url);
        return urls;
    }
    Rows insertedRows() const {
        Rows inserted;
        for (auto& [row, item] : rows.insertedRows) inserted.push_back({row, item->url});
        return inserted;
    }
    Urls shownMessages() const {
        Urls shown;
        for (const ShownMessage& m : messages.messages()) {
            EXPECT_EQ(m.flags, static_cast<unsigned>(MB_TASKMODAL | MB_ICONERROR));
            shown.push_back(m.text + "|" + m.caption);
        }
        return shown;
    }
};

struct Paste : ClipboardFixture {};
struct Copy : ClipboardFixture {};

// Puts `replacement` in the place of this program's import of user32's `name` and returns what
// stood there: the way to see what the program does when the clipboard refuses a block, which the
// real one never does here.
void* replaceUser32Import(const char* name, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + dll->Name), "user32.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return original;
        }
    }
    return nullptr;
}

using SetClipboardDataCall = HANDLE(WINAPI*)(UINT, HANDLE);
SetClipboardDataCall realSetClipboardData = nullptr;
int refusalsLeft = 0;

HANDLE WINAPI refusingSetClipboardData(UINT format, HANDLE data) {
    if (refusalsLeft == 0) return realSetClipboardData(format, data);
    --refusalsLeft;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(Paste, GoesToTheSelectedTabsListBeforeTheSchedulerShowsIt) {
    // A tab was closed and the list of slot 1 selected; the view still shows slot 0's rows.
    DownloadList& selected = downloadLists[1];
    selected = list;
    FakeTabs tabs;
    tabs.insert(0, "next", 0, 1);
    tabStrip = &tabs;
    currentTabIndex = 0;
    rows.rows.assign(3, nullptr);
    setClipboard("http://a.example/x.zip\r\n");
    pasteUrls(window);
    tabStrip = nullptr;
    ASSERT_NE(selected.head, nullptr);
    EXPECT_EQ(selected.head->url, "http://a.example/x.zip");
    EXPECT_EQ(selected.head->listIndex, 1);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_TRUE(rows.insertedRows.empty()) << "its rows come when the list is shown";
    freeAllItems(selected);
    selected = DownloadList{};
}

TEST_F(Paste, HttpItemsThenFtpItemsWithTheirRowsAfterTheShownOnes) {
    createItem(0, 0, "http://old/1");
    rows.rows.assign(1, nullptr);
    setClipboard("some words http://a.example/x.zip trailing\r\n\r\nFTP://Files.Example/Up.BIN\r\n"
                 "http://b.example/y.zip\r\n");
    pasteUrls(window);
    EXPECT_EQ(insertedRows(), (Rows{{1, "http://a.example/x.zip trailing"},
                                    {2, "http://b.example/y.zip"},
                                    {3, "FTP://Files.Example/Up.BIN"}}));
    EXPECT_EQ(itemUrls().size(), 4u);
    DownloadItem* ftp = list.head->next->next->next;
    EXPECT_EQ(rows.insertedRows[2].second, ftp);
    EXPECT_EQ(std::string(ftp->savePath), temp.path() + "download\\Up.BIN");
    EXPECT_EQ(ftp->state, Idle);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(Paste, FullListIsReportedOnceKeepingWhatFitted) {
    rows.rows.assign(1023, nullptr);
    setClipboard("http://a/1\r\nhttp://a/2\r\nftp://a/3\r\n");
    pasteUrls(window);
    EXPECT_EQ(insertedRows(), (Rows{{1023, "http://a/1"}}));
    EXPECT_EQ(shownMessages(), (Urls{"最大アイテム数に達しました|報告"}));

    rows.rows.assign(1024, nullptr);
    setClipboard("no link to take");
    pasteUrls(window);
    EXPECT_EQ(itemUrls(), (Urls{"http://a/1"}));
    EXPECT_EQ(shownMessages().size(), 2u);
}

TEST_F(Paste, OverlongUrlsAreLeftOutAndCountedInOneReport) {
    std::string whole = "http://h/" + std::string(2000, 'w'), overlong = "http://h/" + std::string(8200, 'x');
    setClipboard((overlong + "\r\n" + whole + "\r\nftp://h/" + std::string(8200, 'y') + "\r\n").c_str());
    pasteUrls(window);
    EXPECT_EQ(itemUrls(), (Urls{whole}));
    EXPECT_EQ(shownMessages(), (Urls{"8192文字を超えるＵＲＬ 2 個は登録しませんでした|報告"}));
}

TEST_F(Paste, TextWithoutUrlsAddsNothingAndSaysNothing) {
    setClipboard("ただのテキスト secure:/ only\r\n");
    pasteUrls(window);
    EXPECT_TRUE(itemUrls().empty());
    EXPECT_TRUE(rows.insertedRows.empty());
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(Paste, EmptyClipboardIsReportedOnlyAfterItIsClosedAgain) {
    setClipboard(nullptr);
    static bool openDuringReport;
    openDuringReport = true;
    setMessageHook([](const char* text, const char* caption, unsigned) {
        openDuringReport = GetOpenClipboardWindow() != nullptr;
        EXPECT_STREQ(text, "クリップボードを読み込めませんでした");
        EXPECT_STREQ(caption, "エラー報告");
        return IDOK;
    });
    pasteUrls(window);
    EXPECT_FALSE(openDuringReport);
    EXPECT_TRUE(itemUrls().empty());
}

TEST_F(Copy, SelectedUrlsInListOrderEachWithCrLf) {
    for (const char* url : {"http://h/a.zip", "http://h/b.zip", "ftp://h/c.bin"}) createItem(0, 0, url);
    rows.marks = {{0, kRowSelected}, {2, kRowSelected | kRowFocused}};
    EXPECT_TRUE(copySelectedUrls(window));
    EXPECT_EQ(clipboardText(), "http://h/a.zip\r\nftp://h/c.bin\r\n");

    rows.marks.clear();
    EXPECT_TRUE(copySelectedUrls(window));
    EXPECT_EQ(clipboardText(), "");
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(Copy, ClipboardHeldByAnotherProgramFailsBothWaysAndChangesNothing) {
    createItem(0, 0, "http://h/a.zip");
    rows.rows.assign(1, nullptr);
    rows.marks = {{0, kRowSelected}};
    setClipboard("http://previous/text");
    ASSERT_TRUE(OpenClipboard(otherProgram));
    EXPECT_FALSE(copySelectedUrls(window));
    pasteUrls(window);
    CloseClipboard();
    EXPECT_EQ(shownMessages(), (Urls{"クリップボードをオープンできませんでした|報告",
                                     "クリップボードをオープンできませんでした|エラー報告"}));
    EXPECT_EQ(clipboardText(), "http://previous/text");
    EXPECT_EQ(itemUrls(), (Urls{"http://h/a.zip"}));
}

TEST_F(Copy, TextTheClipboardRefusesLeavesTheTextItHadThere) {
    createItem(0, 0, "http://h/a.zip");
    rows.rows.assign(1, nullptr);
    rows.marks = {{0, kRowSelected}};
    setClipboard("http://previous/text");
    realSetClipboardData = reinterpret_cast<SetClipboardDataCall>(
        replaceUser32Import("SetClipboardData", reinterpret_cast<void*>(refusingSetClipboardData)));
    ASSERT_NE(realSetClipboardData, nullptr);
    refusalsLeft = 1;
    bool copied = copySelectedUrls(window);
    replaceUser32Import("SetClipboardData", reinterpret_cast<void*>(realSetClipboardData));
    EXPECT_EQ(refusalsLeft, 0) << "the copy never handed its text to the clipboard";
    EXPECT_FALSE(copied);
    EXPECT_EQ(clipboardText(), "http://previous/text");
    EXPECT_EQ(itemUrls(), (Urls{"http://h/a.zip"}));
    EXPECT_EQ(shownMessages(), Urls{});
}

}  // namespace
