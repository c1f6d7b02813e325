#include "engine/server_name.h"
#include "common/cp932_convert.h"
#include "common/text.h"
#include "common/url_rules.h"
#include "engine/content_disposition.h"
#include "lists/item_lock.h"
#include "lists/items.h"
#include <string>

HANDLE openSaveFile(const char* path, bool hidden) {
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL);
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, flags, nullptr);
}

bool takeServerName(Transfer& t, std::string_view disposition, uint64_t bytesPresent) {
    DownloadItem& item = t.item;
    std::string name = disposition.empty() ? std::string() : dispositionName(disposition, cp932FromUtf8);
    if (name.empty() || sameSavePath(name, textOf(item.saveName))) return true;
    if (bytesPresent != 0 || item.nameSource == NameByHand || item.nameSource == NameStored) {
        postLogLine(item, "info>サーバーの指定した保存名 " + name + " は使いません " +
                              (bytesPresent != 0 ? "(続きを取得中)" : nameSourceText(item.nameSource)));
        return true;
    }
    // The scheduler owns the file handle, and gives it up only for the messages it handles under
    // this lock; the path search must see no path halfway written.
    ItemLockGuard lock;
    SavePathGuard guard;
    std::string old(textOf(item.savePath));
    std::string folder = containingFolder(old);
    bool numbered = false;
    // A file on disk that no item owns is someone's: the empty file never goes in its place. The
    // item's own file is its own, whatever the name becomes.
    std::string path = savePaths().freePath(folder, name, old, &numbered, [](const std::string& candidate) {
        return GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    if (path.empty()) {
        postLogLine(item, "info>サーバーの指定した保存名 " + name + " に変えられませんでした");
        return true;
    }
    // Fitted into the folder's room, the server's name may come out as the one the file has.
    if (path == old) return true;
    CloseHandle(static_cast<HANDLE>(item.fileHandle));
    bool moved = MoveFileA(old.c_str(), path.c_str()) != FALSE;
    HANDLE file = openSaveFile(moved ? path.c_str() : old.c_str(), t.list.hidden == 1);
    item.fileHandle = file == INVALID_HANDLE_VALUE ? nullptr : file;
    if (!item.fileHandle) {
        fail(t, STAGE_FILE_OPEN);
        return false;
    }
    if (!moved) {
        postLogLine(item, "info>サーバーの指定した保存名 " + name + " に変えられませんでした");
        return true;
    }
    setSavePath(item, path, numbered ? NameFromServerNumbered : NameFromServer);
    postLogLine(item, std::string("info>保存名 ") + item.saveName + " " + nameSourceText(item.nameSource));
    return true;
}
