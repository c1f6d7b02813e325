#include "lists/item_list_file.h"
#include "lists/folder_sizes.h"
#include "common/message_box.h"
#include "common/numbers.h"
#include "common/text.h"
#include "common/view.h"
#include "common/win_handles.h"
#include "lists/download_list.h"
#include "lists/item_list_format.h"
#include "lists/items.h"
#include "lists/replace_file.h"
#include "lists/tab_settings_file.h"
#include <string>
#include <unordered_map>
#include <windows.h>

namespace {

bool readWholeFile(const char* path, std::string& bytes) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD high = 0;
    DWORD size = GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE || high != 0) return false;
    bytes.resize(size);
    DWORD done = 0;
    return size == 0 || (ReadFile(file.get(), bytes.data(), size, &done, nullptr) && done == size);
}

void readItemList(int slot) {
    DownloadList& list = downloadLists[slot];
    freeAllItems(list);
    std::string bytes;
    if (!readWholeFile(list.itemListFilePath, bytes)) {
        std::string text = std::string("[ ") + list.itemListFilePath + " ] \n\nが有りません";
        showMessage(text.c_str(), kCaptionReport, noticeInformation());
        return;
    }
    // The validators are of use only with the items; a list without them resumes as it always did.
    std::string validatorBytes;
    std::unordered_map<std::string, std::string> validators;
    if (readWholeFile(validatorFilePath(list.itemListFilePath).c_str(), validatorBytes))
        for (auto& [path, validator] : parseValidators(validatorBytes)) validators[path] = validator;
    DownloadItem* last = nullptr;
    FolderSizes sizes;
    for (const StoredItem& stored : parseItemList(bytes)) {
        DownloadItem* item = createItemUnsized(slot, stored.url, last, stored.savePath);
        if (!item) return;
        last = item;
        uint64_t size = 0;
        if (sizes.sizeOf(item->savePath, size)) item->fetchedSize = item->startSize = size;
        if (!stored.totalSize.empty()) item->totalSize = readSize(stored.totalSize);
        if (stored.finished) item->state = Finished;
        if (auto found = validators.find(item->savePath); found != validators.end()) item->validator = found->second;
    }
}

}  // namespace

void readAllItemLists() {
    for (int slot = 0; slot < kListSlots; ++slot)
        if (downloadLists[slot].inUse) readItemList(slot);
}

void writeAllItemLists() {
    ensureSettingsFolder();
    int total = 0;
    for (const DownloadList& list : downloadLists)
        if (list.inUse)
            for (const DownloadItem* item = list.head; item; item = item->next) ++total;
    view->showSaveProgress(total);
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    for (const DownloadList& list : downloadLists) {
        if (!list.inUse) continue;
        std::string bytes, validatorBytes;
        for (const DownloadItem* item = list.head; item; item = item->next) {
            bytes += formatItemRecord(item->url, textOf(item->savePath), sharedRead(item->totalSize),
                                      item->state == Finished);
            if (!item->validator.empty()) validatorBytes += formatValidatorRecord(textOf(item->savePath), item->validator);
            view->stepSaveProgress();
        }
        // A validator the file cannot keep costs only a resume that trusts the bytes present; an old
        // one left behind costs a fetch from the start at most (it names no file's version any more).
        std::string validatorPath = validatorFilePath(list.itemListFilePath);
        if (validatorBytes.empty()) {
            DeleteFileA(validatorPath.c_str());
        } else {
            replaceFileContents(validatorPath.c_str(), validatorBytes);
        }
        // The previous file stays whole when the new one cannot be written; the user must hear of it.
        if (!replaceFileContents(list.itemListFilePath, bytes)) {
            std::string text = std::string("[ ") + list.itemListFilePath + " ] の保存に失敗";
            showMessage(text.c_str(), kCaptionReport, noticeWarning());
        }
    }
    Sleep(500);
    SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
    view->hideSaveProgress();
}
