#include "ui/settings_dialog.h"
#include "common/text.h"
#include "engine/transfer_events.h"
#include "lists/item_lock.h"
#include "lists/list_lifecycle.h"
#include "lists/tab_settings_file.h"
#include "resources/resource.h"
#include "scheduler/scheduler.h"
#include "ui/dialog_frame.h"
#include "ui/settings_pages.h"
#include <commctrl.h>

namespace {

int rememberedPage = 0;  // the page shown last, shown first the next time (for this run only)

struct SettingsDialog {
    int position;  // tab of the edited list
    int slot;
    DownloadList record{};  // what the pages show and take back; the list itself changes on "更新"
    SettingsPage page{0, &record};
    HWND tabs = nullptr;
    HWND pageWindow = nullptr;
};

SettingsDialog* dialogOf(HWND dialog) {
    return reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The page that is shown writes its controls into the record as it goes.
void closePage(SettingsDialog& s) {
    if (s.pageWindow) DestroyWindow(s.pageWindow);
    s.pageWindow = nullptr;
}

void showPage(SettingsDialog& s, int index) {
    closePage(s);
    rememberedPage = s.page.index = index;
    s.pageWindow = createSettingsPage(s.tabs, s.page);
}

INT_PTR onInitDialog(HWND dialog, SettingsDialog& s) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&s));
    placeAroundCursor(dialog);
    setProgramIcon(dialog);
    const DownloadList& list = downloadLists[s.slot];
    SetDlgItemTextA(dialog, IDC_SETTINGS_NAME, list.tabName);
    SendDlgItemMessageA(dialog, IDC_SETTINGS_NAME, EM_LIMITTEXT, kTabNameSize - 1, 0);
    copyTabSettings(s.record, list);

    s.tabs = GetDlgItem(dialog, IDC_SETTINGS_PAGES);
    for (int i = 0; i < kSettingsPageCount; ++i) {
        TCITEMA tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char*>(kSettingsPageTitles[i]);
        SendMessageA(s.tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&tab));
    }
    SendMessageA(s.tabs, TCM_SETCURSEL, rememberedPage, 0);
    showPage(s, rememberedPage);
    return TRUE;
}

void onApply(HWND dialog, SettingsDialog& s) {
    char name[kTabNameSize] = {};
    GetDlgItemTextA(dialog, IDC_SETTINGS_NAME, name, sizeof name);
    bool renamed;
    {
        UiItemLockGuard lock;  // a save must not write the list's files while they move
        renamed = renameList(*tabStrip, s.position, name);
    }
    if (!renamed) {  // the user has been told; the name is theirs to change
        SetFocus(GetDlgItem(dialog, IDC_SETTINGS_NAME));
        return;
    }
    closePage(s);
    {
        UiItemLockGuard lock;
        DownloadList& list = downloadLists[s.slot];
        copyTabSettings(list, s.record);
        // Should this fail, the settings still hold for this run and every later save tries again.
        saveListSettings(list, s.position);
    }
    postToScheduler(SCHED_SETTINGS_CHANGED, 0, 0);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK settingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    SettingsDialog* s = dialogOf(dialog);
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog, *reinterpret_cast<SettingsDialog*>(lParam));
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (s && header->hwndFrom == s->tabs && header->code == TCN_SELCHANGE)
            showPage(*s, static_cast<int>(SendMessageA(s->tabs, TCM_GETCURSEL, 0, 0)));
        return TRUE;
    }
    case WM_COMMAND:
        if (!s) return FALSE;
        if (LOWORD(wParam) == IDOK) onApply(dialog, *s);
        if (LOWORD(wParam) == IDCANCEL) {
            closePage(*s);
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int runSettingsDialog(HWND owner) {
    SettingsDialog s{currentTabIndex, selectedSlot()};
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD_SETTINGS), owner,
                                            settingsProc, reinterpret_cast<LPARAM>(&s)));
}
