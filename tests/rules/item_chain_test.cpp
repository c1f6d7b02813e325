#include "common/text.h"
#include "lists/item_chain.h"
#include "lists/item_log.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// A list in slot 0 whose items are named by one letter each; "selected" letters carry the mark.
struct Chain : ::testing::Test {
    std::vector<std::unique_ptr<DownloadItem>> items;
    DownloadList& list = downloadLists[0];

    void SetUp() override {
        list = DownloadList{};
        list.inUse = 1;
    }
    void TearDown() override {
        for (auto& item : items) freeLog(*item);
        list = DownloadList{};
    }
    void build(const std::string& names, const std::string& selected) {
        for (char c : names) {
            auto item = std::make_unique<DownloadItem>();
            item->url = std::string(1, c);
            item->listIndex = 0;
            if (selected.find(c) != std::string::npos) item->viewState = kRowSelected;
            appendItem(list, item.get());
            items.push_back(std::move(item));
        }
    }
    std::string order() const {
        std::string s;
        for (DownloadItem* x = list.head; x; x = x->next) s += x->url[0];
        return s;
    }
};

TEST_F(Chain, Up_MovesOneRunByOnePlace) {
    build("abcde", "cd");
    EXPECT_TRUE(moveRunsUp(list));
    EXPECT_EQ(order(), "acdbe");
}

TEST_F(Chain, Up_TwoSeparatedRunsEachMoveOnce) {
    build("abcdefg", "bcf");
    moveRunsUp(list);
    EXPECT_EQ(order(), "bcadfeg");
}

TEST_F(Chain, Up_RunAtTopStaysLaterRunsStillMove) {
    build("abcde", "abd");
    moveRunsUp(list);
    EXPECT_EQ(order(), "abdce");
}

TEST_F(Chain, Up_NothingSelectedOrAllAtTopChangesNothing) {
    build("abc", "");
    EXPECT_FALSE(moveRunsUp(list));
    EXPECT_EQ(order(), "abc");
    items.clear();
    list.head = nullptr;
    build("abc", "ab");
    EXPECT_FALSE(moveRunsUp(list));
    EXPECT_EQ(order(), "abc");
}

TEST_F(Chain, Down_MovesOneRunByOnePlace) {
    build("abcde", "bc");
    EXPECT_TRUE(moveRunsDown(list));
    EXPECT_EQ(order(), "adbce");
}

TEST_F(Chain, Down_TwoSeparatedRunsEachMoveOnce) {
    build("abcdefg", "ade");
    moveRunsDown(list);
    EXPECT_EQ(order(), "bacfdeg");
}

TEST_F(Chain, Down_RunAtBottomStays) {
    build("abcde", "de");
    EXPECT_FALSE(moveRunsDown(list));
    EXPECT_EQ(order(), "abcde");
    items.clear();
    list.head = nullptr;
    build("abcde", "ae");
    moveRunsDown(list);
    EXPECT_EQ(order(), "bacde");
}

TEST_F(Chain, Down_ThenUpRestoresOrder) {
    build("abcdefgh", "bcg");
    moveRunsDown(list);
    moveRunsUp(list);
    EXPECT_EQ(order(), "abcdefgh");
}

TEST_F(Chain, PositionRowAndUnlink) {
    build("abcd", "");
    items[1]->state = DeleteRequested;
    EXPECT_EQ(itemPosition(list, items[2].get()), 2);
    EXPECT_EQ(itemRow(list, items[2].get()), 1);
    EXPECT_EQ(itemRow(list, items[1].get()), -1);
    DownloadItem stranger{};
    EXPECT_EQ(itemPosition(list, &stranger), -1);
    EXPECT_TRUE(unlinkItem(list, items[0].get()));
    EXPECT_FALSE(unlinkItem(list, items[0].get()));
    EXPECT_EQ(order(), "bcd");
    EXPECT_TRUE(unlinkItem(list, items[3].get()));
    EXPECT_EQ(order(), "bc");
}

TEST_F(Chain, Log_HundredLinesThenRestartsWithTheNewLine) {
    build("a", "");
    DownloadItem& item = *items[0];
    for (int i = 0; i < kMaxLogLines; ++i) ASSERT_EQ(appendLogLine(item, "info>" + std::to_string(i)), LogAppend::Added);
    EXPECT_EQ(logLineCount(item), 100);
    EXPECT_EQ(appendLogLine(item, "recv>101st"), LogAppend::Restarted);
    EXPECT_EQ(logLineCount(item), 1);
    EXPECT_STREQ(item.logHead->text, "recv>101st");
    EXPECT_EQ(appendLogLine(item, "second"), LogAppend::Added);
    EXPECT_STREQ(item.logHead->next->text, "second");
}

TEST_F(Chain, Log_RefusedForItemNoLongerInItsList) {
    build("ab", "");
    unlinkItem(list, items[1].get());
    EXPECT_EQ(adoptLogLine(*items[1], duplicateText("send>GET")), LogAppend::Refused);
    EXPECT_EQ(items[1]->logHead, nullptr);
    items[0]->listIndex = 3;  // a slot not in use
    EXPECT_EQ(appendLogLine(*items[0], "x"), LogAppend::Refused);
}

}  // namespace
