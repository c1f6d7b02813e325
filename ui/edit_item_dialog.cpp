#include "common/cp932_convert.h"
#include "common/message_box.h"
#include "common/save_name.h"
#include "common/text.h"
#include "common/url_rules.h"
#include "common/view.h"
#include "engine/transfer_events.h"
#include "intake/paste_scan.h"
#include "lists/item_chain.h"
#include "lists/item_lock.h"
#include "lists/items.h"
#include "resources/resource.h"
#include "scheduler/scheduler.h"
#include "ui/dialog_frame.h"
#include "ui/folder_browser.h"
#include "ui/item_dialogs.h"
#include "ui/main_window.h"
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kWaitTimer = 1;
constexpr DWORD kThreadPoll = 50;       // ms between looks at the item's transfer thread
constexpr DWORD kLongestWait = 30000;   // then the edit is given up, and the transfer left to end

struct EditItem {
    DownloadItem* item;
    std::string url;          // as the dialog opened: only this dialog changes them
    char savePath[kUrlSize];
    uint8_t nameSource;             // the rule that named the item's file as the dialog opened
    char shownFolder[kFolderSize];  // the folder and name fields as they were filled, read back
    char shownName[kFolderSize];    // as "更新" reads them
    // Once "更新" found a change, what the item becomes when its transfer thread has ended.
    std::string newUrl;
    char newPath[kUrlSize];
    size_t newFolderLength;  // newPath's folder; the name after it is made free when it is taken
    uint8_t newSource;
    bool waiting;
    DWORD waitStart;
    uint32_t stoppedThread;  // id of the transfer thread that was last asked to stop
};

EditItem* editOf(HWND dialog) { return reinterpret_cast<EditItem*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// The item the dialog was opened on, when it is still one of the shown list's rows (inside the item
// lock), else null. The scheduler named it a while ago and may have deleted it since; the pointer is
// only compared until it is found in the chain. Only this dialog changes an item's URL, and its save
// path only this dialog and a server naming the file, so an item found with others is a newer one
// that took a deleted item's address, or one the server renamed meanwhile (the edit then lapses).
DownloadItem* shownItem(const EditItem& e) {
    if (itemPosition(*currentList, e.item) < 0) return nullptr;
    DownloadItem* item = e.item;
    bool same = hasRow(*item) && item->url == e.url && std::strcmp(item->savePath, e.savePath) == 0;
    return same ? item : nullptr;
}

void fieldText(HWND dialog, int id, char (&text)[kFolderSize]) { GetDlgItemTextA(dialog, id, text, sizeof text); }

INT_PTR onInitDialog(HWND dialog, EditItem& e) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&e));
    placeBesideCursor(dialog, kDialogCursorOffset);
    setProgramIcon(dialog);
    std::string_view path = textOf(e.savePath);
    std::string folder = containingFolder(path);
    SetDlgItemTextA(dialog, IDC_ITEM_URL, e.url.c_str());
    SetDlgItemTextA(dialog, IDC_ITEM_FOLDER, folder.c_str());
    SetDlgItemTextA(dialog, IDC_ITEM_NAME, std::string(path.substr(folder.size())).c_str());
    limitUrlField(dialog, IDC_ITEM_URL);
    SendDlgItemMessageA(dialog, IDC_ITEM_FOLDER, EM_LIMITTEXT, kFolderSize - 1, 0);
    SendDlgItemMessageA(dialog, IDC_ITEM_NAME, EM_LIMITTEXT, kFolderSize - 1, 0);
    fieldText(dialog, IDC_ITEM_FOLDER, e.shownFolder);
    fieldText(dialog, IDC_ITEM_NAME, e.shownName);
    return TRUE;
}

// The save path the fields name: the folder made a folder (the list's when left empty), and the
// name made one Windows file name (the URL's when left empty), so it never points elsewhere.
// A name typed in is the user's; the name the item had keeps the rule that gave it.
struct EditedPath {
    std::string folder;
    std::string name;
    uint8_t source;
};

EditedPath editedSavePath(const char* folder, const char* name, std::string_view url, const DownloadList& list,
                          const EditItem& e) {
    EditedPath edited{typedSaveFolder(folder, textOf(list.saveFolderPath)), {}, NameByHand};
    if (!name[0]) {
        edited.name = registrationName(url, cp932FromUtf8);
        edited.source = NameFromUrl;
    } else {
        edited.name = finishedName(name);
        std::string_view path = textOf(e.savePath);
        if (sameSavePath(edited.name, path.substr(containingFolder(path).size()))) edited.source = e.nameSource;
    }
    return edited;
}

// Ends the dialog without the edit and tells the user why.
void dropEdit(HWND dialog, const char* why) {
    KillTimer(dialog, kWaitTimer);
    EndDialog(dialog, IDCANCEL);
    showMessage(why, kCaptionReport, noticeWarning());
}

// One look at the item while the edit waits for its transfer thread to end. The look and the
// change are made in one hold of the item lock, so the scheduler cannot start the item between
// them; a thread that came after the last stop (an HTTP transfer redirected to FTP, a start the
// scheduler made meanwhile) is asked to stop in its turn.
void lookAtTransfer(HWND dialog, EditItem& e) {
    const char* dropped = nullptr;
    {
        UiItemLockGuard lock;
        // An exit under way owns every item, and saved them as it began: the edit is never made,
        // and the close takes this dialog with the main window.
        if (closeBegun()) return;
        DownloadItem* item = shownItem(e);
        if (!item) {
            dropped = "アイテムが削除されたため、編集を取りやめました";
        } else if (item->threadHandle || item->state == Redirecting || item->state == StartNowRequested) {
            // (The last two have a thread on its way: CMD_START_NOW would start it on the new URL.)
            if (item->threadHandle && item->threadId != e.stoppedThread) {
                postToScheduler(SCHED_ITEM_COMMAND, CMD_STOP, reinterpret_cast<LPARAM>(item));
                e.stoppedThread = item->threadId;
            }
            if (GetTickCount() - e.waitStart < kLongestWait) return;
            dropped = "転送が終了しないため、アイテムの編集を取りやめました";
        } else if (std::string_view path = textOf(e.newPath);
                   !claimSavePath(*item, path.substr(0, e.newFolderLength), path.substr(e.newFolderLength), e.newSource)) {
            dropped = "保存先のフォルダのパスが長すぎるため、アイテムの編集を取りやめました";
        } else {
            item->url = e.newUrl;
            resetItem(*item);
            syncSelectionMarks(*view);
            view->rewriteAllRows(*currentList);
        }
    }
    if (dropped) {
        dropEdit(dialog, dropped);
        return;
    }
    KillTimer(dialog, kWaitTimer);
    EndDialog(dialog, IDOK);
}

// Waits for the item's transfer thread to end with the dialog's own message loop, so that the
// program answers meanwhile and キャンセル can give the edit up.
void waitForTransfer(HWND dialog, EditItem& e) {
    for (int id : {IDC_ITEM_URL, IDC_ITEM_FOLDER, IDC_ITEM_NAME, IDC_EDIT_ITEM_BROWSE, IDOK})
        EnableWindow(GetDlgItem(dialog, id), FALSE);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDCANCEL)), TRUE);
    e.waiting = true;
    e.waitStart = GetTickCount();
    e.stoppedThread = 0;
    SetTimer(dialog, kWaitTimer, kThreadPoll, nullptr);
    lookAtTransfer(dialog, e);
}

void onUpdate(HWND dialog, EditItem& e) {
    std::string url = fieldText(dialog, IDC_ITEM_URL);
    char folder[kFolderSize] = {}, name[kFolderSize] = {};
    fieldText(dialog, IDC_ITEM_FOLDER, folder);
    fieldText(dialog, IDC_ITEM_NAME, name);
    // Fields as they were filled leave the item as it is, running or not, also when its stored
    // folder is not written as the dialog would write it (relative, or longer than the field).
    if (url == e.url && std::strcmp(folder, e.shownFolder) == 0 && std::strcmp(name, e.shownName) == 0) {
        EndDialog(dialog, IDOK);
        return;
    }
    std::string problem;
    if (!startsWithUrlScheme(url))
        problem = kNoUrlSchemeText;
    else if (url.size() > kMaxUrlLength)
        problem = urlTooLongText();
    if (!problem.empty()) {
        showMessage(problem.c_str(), kCaptionReport, noticeWarning());
        SetFocus(GetDlgItem(dialog, IDC_ITEM_URL));
        return;
    }
    if (closeBegun()) {  // nothing would save the edit
        dropEdit(dialog, "終了処理中のため編集できません");
        return;
    }
    e.newUrl = url;
    EditedPath edited = editedSavePath(folder, name, url, *currentList, e);
    e.newFolderLength = copyText(e.newPath, edited.folder);
    appendText(e.newPath, edited.name);
    e.newSource = edited.source;
    if (e.newUrl == e.url && std::strcmp(e.newPath, e.savePath) == 0) {
        EndDialog(dialog, IDOK);  // unchanged: a running transfer goes on
        return;
    }
    waitForTransfer(dialog, e);
}

void onCancel(HWND dialog, const EditItem& e) {
    if (!e.waiting) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    dropEdit(dialog, "アイテムの編集を取りやめました");  // the stop asked for stands
}

INT_PTR CALLBACK editItemProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    EditItem* e = editOf(dialog);
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog, *reinterpret_cast<EditItem*>(lParam));
    case WM_TIMER:
        if (e && e->waiting && wParam == kWaitTimer) lookAtTransfer(dialog, *e);
        return TRUE;
    case WM_COMMAND:
        if (!e) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_EDIT_ITEM_BROWSE:
            if (!e->waiting) browseIntoEdit(GetDlgItem(dialog, IDC_ITEM_FOLDER));
            break;
        case IDOK:
            if (!e->waiting) onUpdate(dialog, *e);
            break;
        case IDCANCEL: onCancel(dialog, *e); break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int runEditItemDialog(HWND owner, DownloadItem* item) {
    EditItem e{};
    e.item = item;
    {
        UiItemLockGuard lock;
        if (itemPosition(*currentList, item) < 0 || !hasRow(*item)) return IDCANCEL;
        e.url = item->url;
        copyText(e.savePath, textOf(item->savePath));
        e.nameSource = item->nameSource;
    }
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_EDIT_ITEM), owner,
                                            editItemProc, reinterpret_cast<LPARAM>(&e)));
}
