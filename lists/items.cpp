#include "lists/items.h"
#include "common/cp932_convert.h"
#include "common/message_box.h"
#include "common/save_name.h"
#include "common/text.h"
#include "common/view.h"
#include "common/url_rules.h"
#include "lists/item_chain.h"
#include "lists/item_log.h"
#include <new>
#include <windows.h>

namespace {

// The bytes present: the size of the file at the save path, 0 when there is none (or a folder is
// there). The attributes carry the size without opening the file.
void takeSizeOfExistingFile(DownloadItem& item) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    bool file = GetFileAttributesExA(item.savePath, GetFileExInfoStandard, &data) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    item.fetchedSize = !file ? 0 : uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    item.startSize = item.fetchedSize;
}

std::mutex savePathLock;
SavePathIndex savePathIndex;  // every item's save path; under savePathLock

uint8_t numberedSource(uint8_t source) {
    switch (source) {
    case NameFromUrl: return NameFromUrlNumbered;
    case NameFromServer: return NameFromServerNumbered;
    default: return source;
    }
}

// Gives a new item its save path and links it into the list's chain, both while the save-path
// lock is held, so that the next search for a free path sees its path. False when the folder leaves
// no candidate free (only a folder that leaves a name a few bytes can make every candidate one).
bool giveRegisteredPath(DownloadItem& item, int slot, DownloadItem* last, std::string_view storedPath) {
    DownloadList& list = downloadLists[slot];
    std::string folder = saveFolderFor(list, item.url);
    std::string name = registrationName(item.url, cp932FromUtf8);
    SavePathGuard guard;
    if (!storedPath.empty()) {
        // A stored path stays as it is, whatever today's rules would make of the URL. One these rules
        // gave is still theirs: a server may name the file while it is empty.
        int candidate = candidateNumber(folder, name, storedPath);
        setSavePath(item, storedPath, candidate == 1 ? NameFromUrl : candidate > 1 ? NameFromUrlNumbered : NameStored);
    } else {
        bool numbered = false;
        std::string path = savePathIndex.freePath(folder, name, {}, &numbered);
        if (path.empty()) return false;
        setSavePath(item, path, numbered ? NameFromUrlNumbered : NameFromUrl);
    }
    if (last && !last->next && last->listIndex == slot)
        last->next = &item;
    else
        appendItem(list, &item);
    return true;
}

}  // namespace

SavePathGuard::SavePathGuard() : hold_(savePathLock) {}

SavePathIndex& savePaths() { return savePathIndex; }

void setSavePath(DownloadItem& item, std::string_view path, uint8_t source) {
    savePathIndex.remove(textOf(item.savePath));
    copyText(item.savePath, path);
    savePathIndex.add(textOf(item.savePath));
    std::string_view stored = textOf(item.savePath);
    copyText(item.saveName, stored.substr(containingFolder(stored).size()));
    item.nameSource = source;
}

bool claimSavePath(DownloadItem& item, std::string_view folder, std::string_view name, uint8_t source) {
    SavePathGuard guard;
    bool numbered = false;
    std::string path = savePathIndex.freePath(folder, name, textOf(item.savePath), &numbered);
    if (path.empty()) return false;
    setSavePath(item, path, numbered ? numberedSource(source) : source);
    return true;
}

DownloadItem* createItem(int slot, int /*position*/, std::string_view url, DownloadItem* last) {
    DownloadItem* item = createItemUnsized(slot, url, last);
    if (item) takeSizeOfExistingFile(*item);
    return item;
}

DownloadItem* createItemUnsized(int slot, std::string_view url, DownloadItem* last, std::string_view storedPath) {
    DownloadList& list = downloadLists[slot];
    DownloadItem* item = new (std::nothrow) DownloadItem{};
    if (!item) {
        showMessage("メモリの確保に失敗", kCaptionError, MB_ICONERROR | MB_TASKMODAL);
        return nullptr;
    }
    item->url = url;
    item->listIndex = slot;
    item->state = Idle;
    item->maxTry = list.maxTryNum;

    if (!giveRegisteredPath(*item, slot, last, storedPath)) {
        delete item;
        showMessage("保存先のフォルダのパスが長すぎるため、アイテムを登録できません", kCaptionError,
                    MB_ICONERROR | MB_TASKMODAL);
        return nullptr;
    }
    return item;
}

void resetItem(DownloadItem& item) {
    item.viewState = 0;
    item.state = Idle;
    item.tryCount = 0;
    item.maxTry = currentList->maxTryNum;
    item.totalSize = item.fetchedSize = item.startSize = 0;
    item.speed = 0;
    freeLog(item);
    item.threadId = 0;
    item.threadHandle = nullptr;
    item.failStage = 0;
    item.ftpRedirect = 0;
    item.validator.clear();
    takeSizeOfExistingFile(item);
}

void freeItem(DownloadItem* item) {
    {
        SavePathGuard guard;
        savePathIndex.remove(textOf(item->savePath));
    }
    freeLog(*item);
    delete item;
}

void freeAllItems(DownloadList& list) {
    for (DownloadItem* item = list.head; item;) {
        DownloadItem* next = item->next;
        freeItem(item);
        item = next;
    }
    list.head = nullptr;
    list.logItem = nullptr;
}

int syncSelectionMarks(View& view) {
    int selected = 0;
    int row = 0;
    for (DownloadItem* item = currentList->head; item; item = item->next) {
        // Items waiting for deletion have no row; they are never selected.
        item->viewState = hasRow(*item) ? view.rowMarks(row++) & (kRowSelected | kRowFocused) : 0;
        if (item->viewState & kRowSelected) ++selected;
    }
    currentList->topIndex = view.topRow();
    return selected;
}

void moveSelectedUp(View& view) {
    if (!currentList->head) return;
    syncSelectionMarks(view);
    moveRunsUp(*currentList);
    view.rewriteAllRows(*currentList);
}

void moveSelectedDown(View& view) {
    if (!currentList->head) return;
    syncSelectionMarks(view);
    moveRunsDown(*currentList);
    view.rewriteAllRows(*currentList);
}

void selectAll(View& view) {
    int row = 0;
    for (DownloadItem* item = currentList->head; item; item = item->next)
        if (hasRow(*item)) view.selectRow(row++);
}

int rowsOf(int slot) {
    if (&downloadLists[slot] == currentList) return view->rowCount();
    int rows = 0;
    for (const DownloadItem* item = downloadLists[slot].head; item; item = item->next) ++rows;
    return rows;
}

DownloadItem* addItemWithRow(int slot, int row, std::string_view url) {
    DownloadItem* item = createItem(slot, row, url);
    if (item && &downloadLists[slot] == currentList) view->insertRow(row, *item);
    return item;
}
