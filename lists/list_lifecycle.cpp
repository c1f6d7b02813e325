#include "lists/list_lifecycle.h"
#include "common/program_paths.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "lists/download_list.h"
#include "lists/items.h"
#include "lists/tab_settings_file.h"
#include <windows.h>

int currentTabIndex = 0;
TabStrip* tabStrip = nullptr;

namespace {
bool touchFile(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    return file.valid();
}

void formListPaths(DownloadList& list) {
    for (auto [dst, extension] : {std::pair{list.settingsFilePath, ".ini"}, std::pair{list.itemListFilePath, ".qvr"}}) {
        copyText(dst, kFolderSize, textOf(programPaths.settingsFolder));
        appendText(dst, kFolderSize, textOf(list.tabName));
        appendText(dst, kFolderSize, extension);
    }
}
}  // namespace

void createDefaultList(TabStrip& tabs) {
    ensureSettingsFolder();
    DownloadList& list = downloadLists[0];
    list = DownloadList{};
    copyText(list.tabName, "default");
    formListPaths(list);
    // Without these files the list still works in memory; the next save tries to write them again.
    touchFile(list.settingsFilePath);
    touchFile(list.itemListFilePath);
    setDefaultSettings(list);
    list.inUse = 1;
    currentTabIndex = tabs.insert(0, list.tabName, 0, 0);
}

void releaseAllLists() {
    for (DownloadList& list : downloadLists)
        if (list.inUse) freeAllItems(list);
}
