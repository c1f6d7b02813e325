#include "common/message_box.h"
#include "common/text.h"
#include "common/view.h"
#include "intake/expansion_glue.h"
#include "intake/url_expansion.h"
#include "lists/item_lock.h"
#include "lists/items.h"
#include "lists/tab_strip.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include "ui/folder_browser.h"
#include "ui/item_dialogs.h"
#include "ui/main_window.h"
#include <commctrl.h>
#include <string>

namespace {

struct NewItem {
    int slot;  // the list of the selected tab when the dialog opened
    bool enlarged = false;
};

NewItem* newItemOf(HWND dialog) { return reinterpret_cast<NewItem*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// Tells the user why the typed text cannot be taken; true when it can.
bool acceptable(const std::string& text, int rows) {
    std::string problem = typedUrlProblem(text, rows);
    if (problem.empty()) return true;
    showMessage(problem.c_str(), kCaptionReport, noticeWarning());
    return false;
}

INT_PTR onInitDialog(HWND dialog, NewItem& n) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&n));
    placeBesideCursor(dialog, kDialogCursorOffset);
    setProgramIcon(dialog);
    const DownloadList& list = downloadLists[n.slot];
    SetDlgItemTextA(dialog, IDC_ITEM_FOLDER, list.saveFolderPath);
    CheckDlgButton(dialog, IDC_NEW_ITEM_SUB_FOLDER, list.subFolder == 1 ? BST_CHECKED : BST_UNCHECKED);
    limitUrlField(dialog, IDC_ITEM_URL);
    SendDlgItemMessageA(dialog, IDC_ITEM_FOLDER, EM_LIMITTEXT, kFolderSize - 1, 0);

    HWND preview = GetDlgItem(dialog, IDC_NEW_ITEM_PREVIEW);
    RECT area{};
    GetClientRect(preview, &area);
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = area.right - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageA(preview, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    return TRUE;
}

// The preview lies below the dialog as it opens; the first test makes room for it.
void onTest(HWND dialog, NewItem& n) {
    std::string text = fieldText(dialog, IDC_ITEM_URL);
    if (text.empty() || !acceptable(text, 0)) return;
    HWND preview = GetDlgItem(dialog, IDC_NEW_ITEM_PREVIEW);
    if (!n.enlarged) {
        RECT own{}, list{};
        GetWindowRect(dialog, &own);
        GetWindowRect(preview, &list);
        SetWindowPos(dialog, nullptr, 0, 0, own.right - own.left, own.bottom - own.top + (list.bottom - list.top) + 1,
                     SWP_NOMOVE | SWP_NOZORDER);
        n.enlarged = true;
    }
    previewUrlPattern(preview, text);
}

void onRegister(HWND dialog, const NewItem& n) {
    if (closeBegun()) {
        EndDialog(dialog, IDCANCEL);
        showMessage(kClosingText, kCaptionReport, noticeWarning());
        return;
    }
    std::string text = fieldText(dialog, IDC_ITEM_URL);
    std::string folder = typedSaveFolder(fieldText(dialog, IDC_ITEM_FOLDER));
    bool added;
    {
        UiItemLockGuard lock;
        added = acceptable(text, rowsOf(n.slot));
        if (added) {
            DownloadList& list = downloadLists[n.slot];
            copyText(list.saveFolderPath, folder);
            list.subFolder = IsDlgButtonChecked(dialog, IDC_NEW_ITEM_SUB_FOLDER) == BST_CHECKED ? 1 : 0;
            addUrlPattern(n.slot, GetDlgItem(dialog, IDC_NEW_ITEM_PREVIEW), text);
        }
    }
    if (!added) {  // the user has been told why; the text is theirs to correct
        SetFocus(GetDlgItem(dialog, IDC_ITEM_URL));
        return;
    }
    view->refreshCommands();
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK newItemProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    NewItem* n = newItemOf(dialog);
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog, *reinterpret_cast<NewItem*>(lParam));
    case WM_COMMAND:
        if (!n) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_NEW_ITEM_TEST: onTest(dialog, *n); break;
        case IDC_NEW_ITEM_BROWSE: browseIntoEdit(GetDlgItem(dialog, IDC_ITEM_FOLDER)); break;
        case IDOK: onRegister(dialog, *n); break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int runNewItemDialog(HWND owner) {
    NewItem n{selectedSlot()};
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NEW_ITEM), owner,
                                            newItemProc, reinterpret_cast<LPARAM>(&n)));
}
