// URL patterns into a real preview list view (test mode) and into lists (add mode).
#include "intake/expansion_glue.h"
#include "lists/items.h"
#include "tests/unit/message_recorder.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

using Urls = std::vector<std::string>;
using Rows = std::vector<std::pair<int, std::string>>;

struct ExpansionFixture : ::testing::Test {
    TempFolder temp;
    DownloadList& shown = downloadLists[0];
    DownloadList& other = downloadLists[1];
    RecordingView rows;
    MessageRecorder messages;
    View* previousView = view;
    HWND preview = nullptr;

    void SetUp() override {
        usePathsIn(temp.path());
        for (DownloadList* list : {&shown, &other}) {
            *list = DownloadList{};
            setDefaultSettings(*list);
            list->inUse = 1;
        }
        currentList = &shown;
        view = &rows;
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&classes));
        preview = CreateWindowExA(0, WC_LISTVIEWA, "", LVS_REPORT, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(preview);
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = 380;
        SendMessageA(preview, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        LVITEMA row{};
        row.mask = LVIF_TEXT;
        row.pszText = const_cast<char*>("earlier row");
        SendMessageA(preview, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
    void TearDown() override {
        for (DownloadList* list : {&shown, &other}) {
            freeAllItems(*list);
            *list = DownloadList{};
        }
        view = previousView;
        DestroyWindow(preview);
    }

    Urls previewRows() {
        Urls texts;
        int count = static_cast<int>(SendMessageA(preview, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[1100] = "";
            LVITEMA row{};
            row.pszText = text;
            row.cchTextMax = sizeof text;
            SendMessageA(preview, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&row));
            texts.push_back(text);
        }
        return texts;
    }
    static Urls itemUrls(const DownloadList& list) {
        Urls urls;
        for (DownloadItem* item = list.head; item; item = item->next) urls.push_back(item->url);
        return urls;
    }
    Rows insertedRows() const {
        Rows inserted;
        for (auto& [row, item] : rows.insertedRows) inserted.push_back({row, item->url});
        return inserted;
    }
};

struct ExpansionPreview : ExpansionFixture {};
struct ExpansionAdd : ExpansionFixture {};

TEST_F(ExpansionPreview, RowsAreTheUrlsInNumberOrderAndNothingIsAdded) {
    previewUrlPattern(preview, "http://h/img[08-11].jpg");
    EXPECT_EQ(previewRows(), (Urls{"http://h/img08.jpg", "http://h/img09.jpg", "http://h/img10.jpg", "http://h/img11.jpg"}));
    EXPECT_EQ(shown.head, nullptr);
    EXPECT_TRUE(rows.insertedRows.empty());
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(ExpansionPreview, OnlyAWidthOfTenEmptiesThePreviewOfAPatternThatYieldsNothing) {
    for (std::string_view pattern : {"http://h/a.jpg", "http://h/[5-5]", "http://h/[12-1]", "http://h/[1-3", "http://h/[a-z]"}) {
        previewUrlPattern(preview, pattern);
        EXPECT_EQ(previewRows(), (Urls{"earlier row"})) << pattern;
    }
    previewUrlPattern(preview, "http://h/[0000000001-0000000009]");
    EXPECT_TRUE(previewRows().empty());
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(ExpansionPreview, TooManyUrlsEmptyThePreviewAndSayWhy) {
    previewUrlPattern(preview, "http://h/[1-99999]");
    EXPECT_TRUE(previewRows().empty());
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "展開できるURLは1回に1024個までです");
    EXPECT_EQ(messages.messages()[0].caption, "報告");
}

TEST_F(ExpansionAdd, ItemsAndRowsFollowTheShownRows) {
    createItem(0, 0, "http://h/first");
    rows.rows.assign(1, nullptr);
    EXPECT_EQ(addUrlPattern(0, preview, "http://h/f[9-11].zip"), 1);
    EXPECT_EQ(insertedRows(), (Rows{{1, "http://h/f9.zip"}, {2, "http://h/f10.zip"}, {3, "http://h/f11.zip"}}));
    EXPECT_EQ(itemUrls(shown), (Urls{"http://h/first", "http://h/f9.zip", "http://h/f10.zip", "http://h/f11.zip"}));
    EXPECT_STREQ(shown.head->next->saveName, "f9.zip");
    EXPECT_TRUE(previewRows().empty());  // emptied in add mode too

    EXPECT_EQ(addUrlPattern(0, nullptr, "not checked ] - at all"), 1);
    EXPECT_EQ(insertedRows().back(), (std::pair<int, std::string>{1, "not checked ] - at all"}));
    EXPECT_EQ(itemUrls(shown).size(), 5u);
}

TEST_F(ExpansionAdd, ListNotShownGetsItemsButNoRows) {
    EXPECT_EQ(addUrlPattern(1, nullptr, "ftp://h/[ 8-10]"), 1);
    EXPECT_EQ(itemUrls(other), (Urls{"ftp://h/08", "ftp://h/09", "ftp://h/10"}));
    EXPECT_EQ(other.head->listIndex, 1);
    EXPECT_EQ(shown.head, nullptr);
    EXPECT_TRUE(rows.insertedRows.empty());
}

TEST_F(ExpansionAdd, AListTakesNoMoreThanItsLimitCountingTheRowsItHas) {
    rows.rows.assign(1020, nullptr);
    EXPECT_EQ(addUrlPattern(0, nullptr, "http://h/f[1-10]"), 1);
    EXPECT_EQ(itemUrls(shown), (Urls{"http://h/f1", "http://h/f2", "http://h/f3", "http://h/f4"}));
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "最大アイテム数に達しました");
    for (int i = 0; i < 1023; ++i) createItem(1, i, "http://h/o");
    EXPECT_EQ(addUrlPattern(1, nullptr, "http://h/g[1-3]"), 1);
    EXPECT_EQ(itemUrls(other).back(), "http://h/g1") << "a list not shown counts its items";
    EXPECT_EQ(messages.messages().size(), 2u);
}

TEST_F(ExpansionAdd, RefusedPatternsAddNothing) {
    for (std::string_view pattern : {"http://h/[5-5]", "http://h/[1-3", "http://h/[0000000001-0000000002]", "http://h/[0-1024]"})
        EXPECT_EQ(addUrlPattern(0, nullptr, pattern), 1);
    EXPECT_EQ(shown.head, nullptr);
    EXPECT_TRUE(rows.insertedRows.empty());
    EXPECT_EQ(messages.messages().size(), 1u);  // only the one with too many URLs says why
}

}  // namespace
