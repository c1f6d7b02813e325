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

// The name a file really has on disk (the case the file system keeps).
std::string nameOnDisk(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return {};
    FindClose(find);
    return found.cFileName;
}

TEST_F(ListLifecycle, RenamingMovesBothFilesOrNeither) {
    MessageRecorder messages;
    createNewList(tabs);  // default00, tab 1
    writeFile(folder + "default00.ini", "settings");
    writeFile(folder + "default00.qvr", "items");
    const std::string state = "-0123456789abcdef.qvs", othersState = "default00-x" + state;
    writeFile(folder + "default00" + state, "state");
    writeFile(folder + othersState, "another list's");
    struct Step {
        const char* name;
        bool renamed;
        const char* stem;  // of both files afterwards
        const char* told;
    } steps[] = {
        {"default00", true, "default00", nullptr},      // unchanged: applies, moves nothing
        {"Mine", true, "Mine", nullptr},
        {"MINE", true, "MINE", nullptr},                // a change of case renames the files too
        {"DEFAULT", false, "MINE", "[DEFAULT]は、既に存在します"},
        {"", false, "MINE", "タブ名を入力してください"},
        {"a/b", true, "a_b", nullptr},                  // the tab keeps the text, the files a safe stem
    };
    for (const Step& step : steps) {
        size_t before = messages.messages().size();
        EXPECT_EQ(renameList(tabs, 1, step.name), step.renamed) << step.name;
        const DownloadList& list = downloadLists[tabs.slotAt(1)];
        for (const char* extension : {".ini", ".qvr"}) {
            std::string path = folder + step.stem + extension;
            EXPECT_EQ(nameOnDisk(path), std::string(step.stem) + extension) << step.name;
            EXPECT_EQ(std::string(extension == std::string(".ini") ? list.settingsFilePath : list.itemListFilePath),
                      path);
        }
        EXPECT_EQ(readFile(list.itemListFilePath), "items");
        EXPECT_EQ(nameOnDisk(folder + step.stem + state), step.stem + state) << step.name;
        EXPECT_EQ(readFile(folder + othersState), "another list's") << step.name;
        EXPECT_EQ(tabs.tabs[1].text, list.tabName);
        EXPECT_STREQ(list.tabName, step.renamed ? step.name : "MINE");
        ASSERT_EQ(messages.messages().size(), before + (step.told ? 1 : 0)) << step.name;
        if (step.told) {
            EXPECT_EQ(messages.messages().back().text, step.told);
        }
    }
}

TEST_F(ListLifecycle, AnItemListThatCannotMoveKeepsTheSettingsFileBesideIt) {
    MessageRecorder messages;
    std::string qvr = folder + "default.qvr";
    HANDLE held = CreateFileA(qvr.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(renameList(tabs, 0, "other"));
    CloseHandle(held);
    EXPECT_TRUE(fileExists(folder + "default.ini"));
    EXPECT_TRUE(fileExists(qvr));
    EXPECT_FALSE(fileExists(folder + "other.ini"));
    EXPECT_STREQ(downloadLists[0].tabName, "default");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "[other]は、既に存在します");

    // Files someone deleted are no reason to refuse: the next save writes them under the new name.
    DeleteFileA((folder + "default.ini").c_str());
    DeleteFileA(qvr.c_str());
    EXPECT_TRUE(renameList(tabs, 0, "other"));
    EXPECT_EQ(std::string(downloadLists[0].settingsFilePath), folder + "other.ini");
}

}  // namespace
