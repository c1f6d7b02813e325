#include "lists/list_lifecycle.h"
#include "common/program_paths.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "common/url_rules.h"
#include "lists/download_list.h"
#include "lists/item_list_format.h"
#include "lists/items.h"
#include "lists/tab_settings_file.h"
#include "common/message_box.h"
#include <string>
#include <vector>
#include <windows.h>

int currentTabIndex = 0;
TabStrip* tabStrip = nullptr;

int selectedSlot() {
    int slot = tabStrip && currentTabIndex < tabStrip->count() ? tabStrip->slotAt(currentTabIndex) : -1;
    return slot >= 0 && slot < kListSlots ? slot : static_cast<int>(currentList - downloadLists);
}

namespace {
bool touchFile(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    return file.valid();
}

// The list's two files in the settings folder, named after the list. The name is made safe the way
// a download's name is: a tab name holding '\\', ':' or ".." must not point outside the folder.
void formListPaths(std::string_view name, char (&settingsPath)[kFolderSize], char (&itemListPath)[kFolderSize]) {
    std::string stem = safeFileName(name);
    for (auto [dst, extension] : {std::pair{settingsPath, ".ini"}, std::pair{itemListPath, ".qvr"}}) {
        copyText(dst, kFolderSize, textOf(programPaths.settingsFolder));
        appendText(dst, kFolderSize, stem);
        appendText(dst, kFolderSize, extension);
    }
}

void formListPaths(DownloadList& list) { formListPaths(textOf(list.tabName), list.settingsFilePath, list.itemListFilePath); }
}  // namespace

namespace {
// A slot for a new list. A deleted list's slot stays closed while items of it are still being
// deleted: the scheduler still finds them through it.
int freeSlot() {
    for (int i = 0; i < kListSlots; ++i)
        if (!downloadLists[i].inUse && !downloadLists[i].head) return i;
    return -1;
}
}  // namespace

void createDefaultList(TabStrip& tabs) {
    ensureSettingsFolder();
    int slot = freeSlot();  // deleteCurrentList keeps the last tab while no slot is free
    DownloadList& list = downloadLists[slot];
    list = DownloadList{};
    copyText(list.tabName, "default");
    formListPaths(list);
    // Without these files the list still works in memory; the next save tries to write them again.
    touchFile(list.settingsFilePath);
    touchFile(list.itemListFilePath);
    setDefaultSettings(list);
    list.inUse = 1;
    currentTabIndex = tabs.insert(0, list.tabName, 0, slot);
}

namespace {
bool sameNameNoCase(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

bool nameTaken(const char* name, const DownloadList* except = nullptr) {
    for (const DownloadList& list : downloadLists)
        if (list.inUse && &list != except && sameNameNoCase(list.tabName, name)) return true;
    return false;
}

// Moves one file of a list. Onto its own name there is nothing to do; a file that is not there is
// nothing to move, as long as its new name is free: the next save writes it. A change of case
// alone goes by way of a third name, as not every file system renames a file onto itself.
bool moveListFile(const char* from, const char* to) {
    if (lstrcmpA(from, to) == 0) return true;
    if (lstrcmpiA(from, to) == 0) {
        std::string between = std::string(from) + ".renaming";
        if (!MoveFileA(from, between.c_str())) return GetLastError() == ERROR_FILE_NOT_FOUND;
        if (MoveFileA(between.c_str(), to)) return true;
        MoveFileA(between.c_str(), from);
        return false;
    }
    if (MoveFileA(from, to)) return true;
    return GetLastError() == ERROR_FILE_NOT_FOUND && GetFileAttributesA(to) == INVALID_FILE_ATTRIBUTES;
}
// The state files of the items of the list whose item-list file was `from` go to the names under `to`.
void movePartStates(std::string_view from, std::string_view to) {
    size_t folderEnd = from.rfind('\\') + 1;
    std::string folder(from.substr(0, folderEnd));
    std::string_view stem = from.substr(folderEnd, from.size() - folderEnd - 4);
    std::string pattern = folder + std::string(stem) + "-*.qvs";
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(pattern.c_str(), &found));
    for (bool more = find.valid(); more; more = FindNextFileA(find.get(), &found))
        if (equalsNoCase(partStateOwner(found.cFileName), stem)) names.push_back(found.cFileName);
    find.reset();
    std::string toStem(to.substr(0, to.size() - 4));
    for (const std::string& name : names) moveListFile((folder + name).c_str(), (toStem + name.substr(stem.size())).c_str());
}

}  // namespace

int createNewList(TabStrip& tabs) {
    int slot = freeSlot();
    if (slot < 0) return -1;
    const DownloadList& current = downloadLists[tabs.slotAt(currentTabIndex)];
    char name[kTabNameSize] = {};
    bool found = false;
    for (int n = 0; n < 20 && !found; ++n) {
        char candidate[kTabNameSize + 8];
        wsprintfA(candidate, "%s%02d", current.tabName, n);
        // A name longer than a tab name can hold is cut; the cut name must still be free.
        copyText(name, candidate);
        found = !nameTaken(name);
    }
    if (!found) return -1;

    DownloadList& list = downloadLists[slot];
    DownloadList fresh = current;
    copyText(fresh.tabName, name);
    formListPaths(fresh);
    if (!touchFile(fresh.settingsFilePath) || !touchFile(fresh.itemListFilePath)) return -1;
    resetRuntimeFields(fresh);
    fresh.inUse = 1;
    list = fresh;
    currentTabIndex = tabs.insert(tabs.count(), list.tabName, 0, slot);
    tabs.select(currentTabIndex);
    return slot;
}

bool deleteCurrentList(TabStrip& tabs, int shownRows) {
    // The last tab is replaced by a new default list, which needs a slot of its own: every other
    // one may still be held by items of closed lists winding down.
    if (shownRows > 0 || (tabs.count() == 1 && freeSlot() < 0)) {
        showMessage("アイテムがあると、破棄しません", kCaptionReport, noticeInformation());
        return false;
    }
    int slot = tabs.slotAt(currentTabIndex);
    DownloadList& list = downloadLists[slot];
    for (const char* path : {list.settingsFilePath, list.itemListFilePath}) {
        if (!DeleteFileA(path)) {
            std::string text = std::string("[ ") + path + " ] の削除に失敗";
            showMessage(text.c_str(), kCaptionReport, noticeWarning());
            return false;
        }
    }
    DeleteFileA(validatorFilePath(list.itemListFilePath).c_str());  // there is none while the list is empty
    // Items still waiting for deletion have no row; the scheduler finishes and frees them as usual
    // (their threads may still run), so the chain is left to it.
    list.inUse = 0;
    tabs.remove(currentTabIndex);
    currentTabIndex = 0;
    if (tabs.count() == 0) createDefaultList(tabs);
    tabs.select(0);
    return true;
}

bool renameList(TabStrip& tabs, int position, std::string_view typed) {
    DownloadList& list = downloadLists[tabs.slotAt(position)];
    char name[kTabNameSize];
    copyText(name, typed);
    if (name[0] == '\0') {
        showMessage("タブ名を入力してください", kCaptionError, MB_ICONERROR | MB_TOPMOST | MB_TASKMODAL);
        return false;
    }
    char settingsPath[kFolderSize], itemListPath[kFolderSize];
    formListPaths(name, settingsPath, itemListPath);
    bool moved = !nameTaken(name, &list) && moveListFile(list.settingsFilePath, settingsPath);
    if (moved && !moveListFile(list.itemListFilePath, itemListPath)) {
        // The two files must keep one name: at the next start the item list is looked for under
        // the settings file's name.
        if (lstrcmpA(list.settingsFilePath, settingsPath) != 0) MoveFileA(settingsPath, list.settingsFilePath);
        moved = false;
    }
    if (!moved) {
        std::string text = std::string("[") + name + "]は、既に存在します";
        showMessage(text.c_str(), kCaptionError, MB_ICONERROR | MB_TOPMOST | MB_TASKMODAL);
        return false;
    }
    // The validators go along when they can; without them the list's resumes trust the bytes present.
    moveListFile(validatorFilePath(list.itemListFilePath).c_str(), validatorFilePath(itemListPath).c_str());
    // So do the states of items fetched over several connections: without them their part files start over.
    movePartStates(list.itemListFilePath, itemListPath);
    copyText(list.tabName, name);
    copyText(list.settingsFilePath, settingsPath);
    copyText(list.itemListFilePath, itemListPath);
    tabs.setText(position, list.tabName);
    return true;
}

void releaseAllLists() {
    for (DownloadList& list : downloadLists) freeAllItems(list);  // closed lists may still hold items
}

void loadAllLists(TabStrip& tabs) {
    std::string pattern = std::string(textOf(programPaths.settingsFolder)) + "*.ini";
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(pattern.c_str(), &found));
    int loaded = 0;
    for (bool more = find.valid(); more && loaded < kListSlots; more = FindNextFileA(find.get(), &found)) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!loadOneList(tabs, std::string(textOf(programPaths.settingsFolder)) + found.cFileName)) break;
        ++loaded;
    }
    if (loaded > 0) {
        currentTabIndex = 0;
        tabs.select(0);
    } else {
        createDefaultList(tabs);
    }
}
