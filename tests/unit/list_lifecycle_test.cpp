#include "common/program_paths.h"
#include "common/text.h"
#include "lists/items.h"
#include "lists/list_lifecycle.h"
#include "lists/tab_settings_file.h"
#include "tests/unit/fake_tabs.h"
#include "tests/unit/message_recorder.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct ListLifecycle : ::testing::Test {
    TempFolder temp;
    FakeTabs tabs;
    std::string folder;
    void SetUp() override {
        usePathsIn(temp.path());
        folder = temp.path() + "setting\\";
        for (DownloadList& l : downloadLists) l = DownloadList{};
        currentTabIndex = 0;
        createDefaultList(tabs);
    }
    void TearDown() override {
        releaseAllLists();
        for (DownloadList& l : downloadLists) l = DownloadList{};
    }
    std::string currentName() { return downloadLists[tabs.slotAt(currentTabIndex)].tabName; }
};

TEST_F(ListLifecycle, NewListsAreNamedAfterTheCurrentOne) {
    downloadLists[0].maxDownloadNum = 4;
    ASSERT_EQ(createNewList(tabs), 1);
    EXPECT_EQ(currentName(), "default00");
    EXPECT_EQ(currentTabIndex, 1);
    EXPECT_EQ(downloadLists[1].maxDownloadNum, 4) << "settings come from the current list";
    EXPECT_TRUE(fileExists(folder + "default00.ini"));
    EXPECT_TRUE(fileExists(folder + "default00.qvr"));
    currentTabIndex = 0;
    createNewList(tabs);
    EXPECT_EQ(currentName(), "default01");
    currentTabIndex = 1;  // default00
    createNewList(tabs);
    EXPECT_EQ(currentName(), "default0000");
    EXPECT_EQ(tabs.count(), 4);
}

TEST_F(ListLifecycle, ATabNameNeverLeadsOutOfTheSettingsFolder) {
    for (const char* name : {"..\\..\\x", "a/b", "c:d", ".."}) {
        copyText(downloadLists[0].tabName, name);
        currentTabIndex = 0;
        int slot = createNewList(tabs);
        ASSERT_GE(slot, 1) << name;
        EXPECT_EQ(currentName(), std::string(name) + "00") << "the tab keeps the name as given";
        for (std::string path : {downloadLists[slot].settingsFilePath, downloadLists[slot].itemListFilePath}) {
            EXPECT_EQ(path.rfind(folder, 0), 0u) << path;
            EXPECT_EQ(path.find_first_of("\\/:", folder.size()), std::string::npos) << path;
            EXPECT_TRUE(fileExists(path)) << path;
        }
    }
}

TEST_F(ListLifecycle, NamesCompareWithoutRegardToCase) {
    createNewList(tabs);
    copyText(downloadLists[1].tabName, "Default00");
    currentTabIndex = 0;
    createNewList(tabs);
    EXPECT_EQ(currentName(), "default01");
}

TEST_F(ListLifecycle, TwentyFirstListIsNotCreated) {
    for (int i = 1; i < 20; ++i) {
        currentTabIndex = 0;
        ASSERT_GE(createNewList(tabs), 0) << i;
    }
    EXPECT_EQ(tabs.count(), 20);
    EXPECT_EQ(createNewList(tabs), -1);
    EXPECT_EQ(tabs.count(), 20);
}

TEST_F(ListLifecycle, DeletingAListWithRowsIsRefused) {
    MessageRecorder messages;
    EXPECT_FALSE(deleteCurrentList(tabs, 3));
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "アイテムがあると、破棄しません");
    EXPECT_EQ(tabs.count(), 1);
}

TEST_F(ListLifecycle, DeletingTheOnlyListGivesAFreshDefault) {
    downloadLists[0].maxTryNum = 33;
    writeFile(folder + "default.ini", "[SETTING]\r\nmaxTryNum=44\r\n");
    createNewList(tabs);  // default00 in slot 1
    currentTabIndex = 0;
    ASSERT_TRUE(deleteCurrentList(tabs, 0));
    EXPECT_FALSE(fileExists(folder + "default.ini"));
    EXPECT_EQ(tabs.slots(), std::vector<int>{1});
    // Delete the last one: "default" comes back in slot 0 with the default settings.
    writeFile(folder + "default.ini", "[SETTING]\r\nmaxTryNum=44\r\n");
    ASSERT_TRUE(deleteCurrentList(tabs, 0));
    ASSERT_EQ(tabs.slots(), std::vector<int>{0});
    EXPECT_STREQ(downloadLists[0].tabName, "default");
    EXPECT_EQ(downloadLists[0].maxTryNum, 10u) << "an existing default.ini is not read";
    EXPECT_EQ(downloadLists[1].inUse, 0);
}

TEST_F(ListLifecycle, FileThatCannotBeDeletedKeepsTheList) {
    MessageRecorder messages;
    createNewList(tabs);
    std::string qvr = folder + "default00.qvr";
    HANDLE locked = CreateFileA(qvr.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(deleteCurrentList(tabs, 0));
    CloseHandle(locked);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "[ " + qvr + " ] の削除に失敗");
    EXPECT_EQ(tabs.count(), 2);
    EXPECT_EQ(downloadLists[1].inUse, 1);
}

}  // namespace
