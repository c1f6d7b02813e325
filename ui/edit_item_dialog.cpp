#include "common/message_box.h"
#include "common/cp932_convert.h"
#include "common/program_paths.h"
#include "common/save_folder.h"
#include "common/save_name.h"
#include "common/text.h"
#include "common/url_rules.h"
#include "common/view.h"
#include "engine/thread_links.h"
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
#include <cstring>
#include <string>

namespace {

constexpr DWORD kThreadPoll = 50;  // ms between looks at the item's transfer thread

struct EditItem {
    DownloadItem* item;
    char url[kUrlSize];       // as the dialog opened: only this dialog changes them
    char savePath[kUrlSize];
    uint8_t nameSource;
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
    bool same = hasRow(*item) && std::strcmp(item->url, e.url) == 0 && std::strcmp(item->savePath, e.savePath) == 0;
    return same ? item : nullptr;
}

enum class TransferWait { Ended, ItemGone, Quitting };

// Stops the item's transfer and waits for its thread to end, keeping the windows answering. The
// item is looked up again at every look, since the messages carried out meanwhile may delete it or
// close the program (which frees every item).
TransferWait stopTransfer(const EditItem& e) {
    bool stopAsked = false;
    for (;;) {
        {
            UiItemLockGuard lock;
            DownloadItem* item = shownItem(e);
            if (!item) return TransferWait::ItemGone;
            if (!item->threadHandle) return TransferWait::Ended;
            if (!stopAsked) postToScheduler(SCHED_ITEM_COMMAND, CMD_STOP, reinterpret_cast<LPARAM>(item));
            stopAsked = true;
        }
        Sleep(kThreadPoll);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Put back for the dialog's loop and the program's, which end on it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return TransferWait::Quitting;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

INT_PTR onInitDialog(HWND dialog, EditItem& e) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&e));
    placeBesideCursor(dialog, kDialogCursorOffset);
    setProgramIcon(dialog);
    std::string_view path = textOf(e.savePath);
    std::string folder = containingFolder(path);
    SetDlgItemTextA(dialog, IDC_ITEM_URL, e.url);
    SetDlgItemTextA(dialog, IDC_ITEM_FOLDER, folder.c_str());
    SetDlgItemTextA(dialog, IDC_ITEM_NAME, std::string(path.substr(folder.size())).c_str());
    SendDlgItemMessageA(dialog, IDC_ITEM_URL, EM_LIMITTEXT, kUrlSize - 1, 0);
    SendDlgItemMessageA(dialog, IDC_ITEM_FOLDER, EM_LIMITTEXT, kFolderSize - 1, 0);
    SendDlgItemMessageA(dialog, IDC_ITEM_NAME, EM_LIMITTEXT, kFolderSize - 1, 0);
    return TRUE;
}

// The save path the fields name: the folder made a folder (the list's when left empty), and the
// name made one Windows file name (the URL's when left empty), so it never points elsewhere.
struct EditedPath {
    std::string folder;
    std::string name;
    uint8_t source;  // a name typed in is the user's; the one the item had keeps its rule
};

EditedPath editedSavePath(HWND dialog, std::string_view url, const DownloadList& list, const EditItem& e) {
    char folder[kFolderSize] = {}, name[kFolderSize] = {};
    GetDlgItemTextA(dialog, IDC_ITEM_FOLDER, folder, sizeof folder);
    GetDlgItemTextA(dialog, IDC_ITEM_NAME, name, sizeof name);
    EditedPath edited{normalSaveFolder(folder, textOf(programPaths.programFolder)), {}, NameByHand};
    if (edited.folder.empty()) edited.folder = textOf(list.saveFolderPath);
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

void onUpdate(HWND dialog, EditItem& e) {
    char url[kUrlSize] = {};
    GetDlgItemTextA(dialog, IDC_ITEM_URL, url, sizeof url);
    if (!startsWithUrlScheme(url)) {
        showMessage(kNoUrlSchemeText, kCaptionReport, noticeWarning());
        SetFocus(GetDlgItem(dialog, IDC_ITEM_URL));
        return;
    }
    EditedPath edited = editedSavePath(dialog, url, *currentList, e);
    char savePath[kUrlSize];
    copyText(savePath, edited.folder + edited.name);
    if (std::strcmp(url, e.url) == 0 && std::strcmp(savePath, e.savePath) == 0) {
        EndDialog(dialog, IDOK);  // unchanged: a running transfer goes on
        return;
    }
    EnableWindow(dialog, FALSE);  // no second "更新" while the windows answer during the wait
    TransferWait wait = stopTransfer(e);
    // A quit, or a close that took the dialog with the main window, abandons the edit: the thread
    // may still run, and the lists were saved as the close began.
    if (wait == TransferWait::Quitting || !IsWindow(dialog)) return;
    EnableWindow(dialog, TRUE);
    bool changed = false;
    if (wait == TransferWait::Ended) {
        UiItemLockGuard lock;
        // Looked at once more under the lock that the scheduler takes to start or delete it; an exit
        // under way owns every item.
        DownloadItem* item = shownItem(e);
        if (item && !item->threadHandle && currentRunState() == RUN_RUNNING) {
            copyText(item->url, url);
            claimSavePath(*item, edited.folder, edited.name, edited.source);
            resetItem(*item);
            syncSelectionMarks(*view);
            view->rewriteAllRows(*currentList);
            changed = true;
        }
    }
    EndDialog(dialog, changed ? IDOK : IDCANCEL);
}

INT_PTR CALLBACK editItemProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    EditItem* e = editOf(dialog);
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog, *reinterpret_cast<EditItem*>(lParam));
    case WM_COMMAND:
        if (!e) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_EDIT_ITEM_BROWSE: browseIntoEdit(GetDlgItem(dialog, IDC_ITEM_FOLDER)); break;
        case IDOK: onUpdate(dialog, *e); break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int runEditItemDialog(HWND owner, DownloadItem* item) {
    EditItem e{item, {}, {}, 0};
    {
        UiItemLockGuard lock;
        if (itemPosition(*currentList, item) < 0 || !hasRow(*item)) return IDCANCEL;
        copyText(e.url, textOf(item->url));
        copyText(e.savePath, textOf(item->savePath));
        e.nameSource = item->nameSource;
    }
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_EDIT_ITEM), owner,
                                            editItemProc, reinterpret_cast<LPARAM>(&e)));
}
