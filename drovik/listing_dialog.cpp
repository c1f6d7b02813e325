#include "drovik/listing_dialog.h"
#include "common/clipboard_copy.h"
#include "common/url_rules.h"
#include "drovik/ftp_rules.h"
#include "drovik/resource.h"
#include <algorithm>
#include <commctrl.h>
#include <cstring>
#include <shellapi.h>
#include <string>

namespace {

constexpr char kStartText[] = "取 得";
constexpr char kStopText[] = "中 止";
constexpr int kCredentialLimit = 76;
constexpr int kPortLimit = 7;
constexpr DWORD kEndPoll = 50;      // ms between looks at the listing thread
constexpr UINT_PTR kEndTimer = 1;
constexpr DWORD kEndPause = 1000;   // ms the final text stands before the dialog goes on
constexpr DWORD kCloseWait = 5000;  // ms a close waits for the listing thread
constexpr int kClipboardAttempts = 20;
constexpr char kUnfitNameText[] = ">ＵＲＬにできない名前です";
constexpr char kUnfitNamesSkippedText[] = ">ＵＲＬにできない名前はコピーしません";

DrovikState* stateOf(HWND dialog) { return reinterpret_cast<DrovikState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }
HWND rowsOf(HWND dialog) { return GetDlgItem(dialog, IDC_ROWS); }

std::string fieldText(HWND dialog, int id, int size) {
    std::string text(static_cast<size_t>(size) + 1, '\0');
    text.resize(static_cast<size_t>(GetDlgItemTextA(dialog, id, text.data(), size + 1)));
    return text;
}

INT_PTR onInitDialog(HWND dialog, DrovikState& s) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&s));
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DROVIK));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    // One more than a URL may have, so that a longer one pasted in is refused rather than cut.
    SendDlgItemMessageA(dialog, IDC_URL, EM_LIMITTEXT, kMaxUrlLength + 1, 0);
    SendDlgItemMessageA(dialog, IDC_USER, EM_LIMITTEXT, kCredentialLimit, 0);
    SendDlgItemMessageA(dialog, IDC_PASSWORD, EM_LIMITTEXT, kCredentialLimit, 0);
    SendDlgItemMessageA(dialog, IDC_PORT, EM_LIMITTEXT, kPortLimit, 0);
    SetDlgItemTextA(dialog, IDC_USER, s.listing.user.c_str());
    SetDlgItemTextA(dialog, IDC_PASSWORD, s.listing.password.c_str());
    SetDlgItemTextA(dialog, IDC_PORT, std::to_string(s.listing.port).c_str());

    HWND rows = rowsOf(dialog);
    s.listing.dialog = dialog;
    s.listing.rows = rows;
    RECT area{};
    GetClientRect(rows, &area);
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = area.right - GetSystemMetrics(SM_CXVSCROLL);
    column.pszText = const_cast<char*>("");
    SendMessageA(rows, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SHFILEINFOA info{};
    auto icons = SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    SendMessageA(rows, LVM_SETIMAGELIST, LVSIL_SMALL, static_cast<LPARAM>(icons));
    SetWindowPos(dialog, nullptr, s.x, s.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

// The start button starts a listing of the typed URL, or stops the one that runs.
void onStartOrStop(HWND dialog, DrovikState& s) {
    Listing& l = s.listing;
    if (l.thread) {
        showListingStatus(l.rows, ">中止要求");
        stopListing(l);
        PostMessageA(dialog, WM_LISTING_ENDED, kListingStopped, 0);
        return;
    }
    std::string typed = fieldText(dialog, IDC_URL, static_cast<int>(kMaxUrlLength) + 1);
    if (typed.size() > kMaxUrlLength) {
        std::string why = ">ＵＲＬが長すぎます (" + std::to_string(kMaxUrlLength) + "文字まで)";
        showListingStatus(l.rows, why.c_str());
        return;
    }
    std::string folder = folderUrlOf(typed);
    l.user = fieldText(dialog, IDC_USER, kCredentialLimit);
    l.password = fieldText(dialog, IDC_PASSWORD, kCredentialLimit);
    l.port = ftpPortOf(fieldText(dialog, IDC_PORT, kPortLimit));
    if (folder.empty()) return;  // not an FTP URL: nothing to list
    l.folderUrl = folder;
    s.copyBase = copiedFolderUrl(folder, l.port);
    SetDlgItemTextA(dialog, IDC_URL, folder.c_str());
    clearRows(l);
    if (!startListing(l)) {
        l.failure = ">スレッド作成失敗";
        showListingStatus(l.rows, l.failure.c_str());
        PostMessageA(dialog, WM_LISTING_ENDED, kListingFailed, 0);
        return;
    }
    SetFocus(l.rows);
    SetDlgItemTextA(dialog, IDOK, kStopText);
}

void onClose(HWND dialog, DrovikState& s) {
    if (!s.listing.thread) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    showListingStatus(s.listing.rows, ">中止要求");
    if (!s.closeAfterStop) s.closeAsked = GetTickCount();  // a second close does not wait longer
    s.closeAfterStop = true;
    stopListing(s.listing);
    PostMessageA(dialog, WM_LISTING_ENDED, kListingStopped, 0);
}

// The final text of a listing, with a word on the rows that cannot be copied or entered.
void showEndStatus(const Listing& l, const char* text) {
    auto unfit = std::count_if(l.shown.begin(), l.shown.end(), [](const ListedRow& row) { return !nameFitsUrl(row.name); });
    std::string status = text;
    if (unfit > 0) status += " (ＵＲＬにできない名前 " + std::to_string(unfit) + " 件は使えません)";
    showListingStatus(l.rows, status.c_str());
}

// The listing thread has gone: the rows still waiting, the final text, and the dialog ready for the
// next listing (or closed).
void finishListing(HWND dialog, DrovikState& s) {
    Listing& l = s.listing;
    KillTimer(dialog, kEndTimer);
    s.awaitingEnd = false;
    if (l.thread) CloseHandle(l.thread);
    l.thread = nullptr;
    showPendingRows(l);
    if (s.end == kListingStopped) showEndStatus(l, ">中止しました");
    if (s.end == kListingFinished) showEndStatus(l, ">取得終了");
    MSG pending;
    while (PeekMessageA(&pending, dialog, WM_LISTING_ENDED, WM_LISTING_ENDED, PM_REMOVE)) {
    }
    UpdateWindow(dialog);
    Sleep(kEndPause);
    if (s.closeAfterStop) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    SetDlgItemTextA(dialog, IDOK, kStartText);
    EnterCriticalSection(&l.lock);
    l.run = false;
    LeaveCriticalSection(&l.lock);
}

// Looks at the listing thread on its way out; a close gives it a few seconds.
void onEndTimer(HWND dialog, DrovikState& s) {
    if (!listingRuns(s.listing)) {
        finishListing(dialog, s);
    } else if (s.closeAfterStop && GetTickCount() - s.closeAsked >= kCloseWait) {
        EndDialog(dialog, IDCANCEL);  // the thread is left to the end of the process
    }
}

// The first report of an end stands; the thread's end is waited for with a timer, not by posting
// the report again: a queue that always holds a posted message gives the dialog no input and no
// painting meanwhile.
void onListingEnded(HWND dialog, DrovikState& s, WPARAM end) {
    if (s.awaitingEnd) return;
    s.awaitingEnd = true;
    s.end = static_cast<ListingEnd>(end);
    SetTimer(dialog, kEndTimer, kEndPoll, nullptr);
    onEndTimer(dialog, s);
}

// A double-click on a folder lists it (".." the folder above), or stops the listing that runs.
void onOpenRow(HWND dialog, DrovikState& s, int row) {
    const ListedRow* listed = shownRow(s.listing, row);
    if (!listed || !(listed->attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    const std::string& name = listed->name;
    if (!nameFitsUrl(name)) {
        showListingStatus(s.listing.rows, kUnfitNameText);
        return;
    }
    std::string url = name == ".." ? parentFolderUrl(s.listing.folderUrl) : childFolderUrl(s.listing.folderUrl, name);
    SetDlgItemTextA(dialog, IDC_URL, url.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void showRowPopup(HWND dialog, HWND rows) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MENU_ROW_POPUP);
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    bool any = SendMessageA(rows, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
    EnableMenuItem(popup, IDM_COPY_URLS, MF_BYCOMMAND | (any ? MF_ENABLED : MF_GRAYED));
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
    DestroyMenu(menu);
}

// Another program may hold the clipboard for a moment (a clipboard viewer reading it, say).
bool openClipboard(HWND owner) {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

void report(const char* text) { MessageBoxA(nullptr, text, "報告", MB_TASKMODAL | MB_ICONERROR); }

// The chosen rows' URLs, one per line ending in CR LF, onto the clipboard.
void copyUrls(HWND dialog, const DrovikState& s) {
    std::string text;
    bool skipped = false;
    HWND rows = s.listing.rows;
    for (int row = -1; (row = static_cast<int>(SendMessageA(rows, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;) {
        const ListedRow* listed = shownRow(s.listing, row);
        if (!listed || listed->name == "..") continue;
        if (nameFitsUrl(listed->name)) {
            text += s.copyBase + listed->name + "\r\n";
        } else {
            skipped = true;
        }
    }
    if (skipped) showListingStatus(rows, kUnfitNamesSkippedText);
    if (text.empty()) return;  // nothing to copy: the clipboard keeps what it has
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1));
    char* bytes = block.valid() ? static_cast<char*>(GlobalLock(block.get())) : nullptr;
    if (!bytes) {
        report("メモリを確保できませんでした");
        return;
    }
    memcpy(bytes, text.data(), text.size());
    GlobalUnlock(block.get());
    if (!openClipboard(dialog)) {
        report("クリップボードをオープンできませんでした");
        return;
    }
    GlobalBlock previous = copyOfClipboardText();
    EmptyClipboard();
    // Should the system refuse the new text, the block is ours again and the text the clipboard
    // had goes back, so that a failed copy never leaves the user with nothing to paste.
    if (SetClipboardData(CF_TEXT, block.get())) {
        block.release();
    } else if (previous.valid() && SetClipboardData(CF_TEXT, previous.get())) {
        previous.release();
    }
    CloseClipboard();
}

// A selected row keeps a visible background while the list has not the focus.
LRESULT onCustomDraw(HWND rows, NMLVCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && GetFocus() != rows &&
        SendMessageA(rows, LVM_GETITEMSTATE, draw->nmcd.dwItemSpec, LVIS_SELECTED))
        draw->clrTextBk = GetSysColor(COLOR_BTNFACE);
    return CDRF_DODEFAULT;
}

INT_PTR onNotify(HWND dialog, DrovikState& s, NMHDR* header) {
    if (header->idFrom != IDC_ROWS) return FALSE;
    switch (header->code) {
    case NM_DBLCLK: onOpenRow(dialog, s, reinterpret_cast<NMITEMACTIVATE*>(header)->iItem); break;
    case NM_RCLICK: showRowPopup(dialog, header->hwndFrom); break;
    case NM_RELEASEDCAPTURE: InvalidateRect(header->hwndFrom, nullptr, FALSE); break;
    case NM_CUSTOMDRAW:
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT,
                          onCustomDraw(header->hwndFrom, reinterpret_cast<NMLVCUSTOMDRAW*>(header)));
        return TRUE;
    default: return FALSE;
    }
    return TRUE;
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DrovikState* s = stateOf(dialog);
    if (message == WM_INITDIALOG) return onInitDialog(dialog, *reinterpret_cast<DrovikState*>(lParam));
    if (!s) return FALSE;
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: onStartOrStop(dialog, *s); break;
        case IDCANCEL: onClose(dialog, *s); break;
        case IDM_COPY_URLS: copyUrls(dialog, *s); break;
        default: break;
        }
        return TRUE;
    case WM_NOTIFY: return onNotify(dialog, *s, reinterpret_cast<NMHDR*>(lParam));
    case WM_LISTING_ENDED: onListingEnded(dialog, *s, wParam); return TRUE;
    case WM_TIMER:
        if (wParam == kEndTimer && s->awaitingEnd) onEndTimer(dialog, *s);
        return TRUE;
    case WM_LISTING_ROWS: showPendingRows(s->listing); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void runListingDialog(DrovikState& state) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LISTING), nullptr, dialogProc,
                    reinterpret_cast<LPARAM>(&state));
}
