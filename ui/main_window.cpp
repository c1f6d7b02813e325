#include "ui/main_window.h"
#include "common/message_box.h"
#include "common/program_paths.h"
#include "common/text.h"
#include "common/view.h"
#include "engine/thread_links.h"
#include "engine/transfer_events.h"
#include "common/url_rules.h"
#include "intake/clipboard.h"
#include "lists/item_chain.h"
#include "lists/item_list_file.h"
#include "lists/item_lock.h"
#include "lists/items.h"
#include "lists/list_lifecycle.h"
#include "lists/program_settings.h"
#include "lists/save_all.h"
#include "lists/tab_settings_file.h"
#include "resources/resource.h"
#include "scheduler/scheduler.h"
#include "ui/countdown_dialog.h"
#include "ui/item_dialogs.h"
#include "ui/item_list_view.h"
#include "ui/owner_menus.h"
#include "ui/panes.h"
#include "ui/program_dialogs.h"
#include "ui/program_timers.h"
#include "ui/settings_dialog.h"
#include "ui/tab_control.h"
#include "ui/toolbar.h"
#include "ui/window_view.h"
#include <commctrl.h>
#include <cstdio>
#include <shellapi.h>
#include <string>
#include <windowsx.h>

namespace {

TabControl tabControl;
HANDLE schedulerThread = nullptr;
// The last close runs once: the questions before a hang-up or shutdown keep messages flowing, and
// a WM_CLOSE from elsewhere must not destroy the window (and the question with it) under them.
bool finishing = false;
bool closing = false;  // see closeBegun

HFONT makeFont(int height, int weight, const char* name) {
    return CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, name);
}

int selectedRowCount() { return static_cast<int>(SendMessageA(panes.itemList, LVM_GETSELECTEDCOUNT, 0, 0)); }
int rowCount() { return static_cast<int>(SendMessageA(panes.itemList, LVM_GETITEMCOUNT, 0, 0)); }

void enableCommand(int command, bool enabled) {
    EnableMenuItem(GetMenu(panes.main), command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    enableToolbarButton(panes.toolbar, command, enabled);
}

void refreshEditGroup() {
    bool any = selectedRowCount() > 0;
    for (int command : {IDM_CUT, IDM_COPY, IDM_DELETE, IDM_EDIT_ITEM}) enableCommand(command, any);
}

void refreshDownloadGroup() {
    bool rows = rowCount() > 0;
    for (int command : {IDM_START_ALL, IDM_STOP_ALL}) enableCommand(command, rows);
    bool any = selectedRowCount() > 0;
    for (int command : {IDM_START, IDM_STOP, IDM_START_AT_ONCE, IDM_MOVE_UP, IDM_MOVE_DOWN}) enableCommand(command, any);
}

void postItemCommand(uint32_t wParam) { postToScheduler(SCHED_ITEM_COMMAND, wParam, 0); }

// Shows the list of the selected tab: the outgoing list keeps its selection and scroll position.
void switchToTab(int position) {
    {
        UiItemLockGuard lock;
        syncSelectionMarks(*view);
    }
    currentTabIndex = position;
    postToScheduler(SCHED_SWITCH_LIST, 0, 0);
}

// Cut and delete ask first; only ＯＫ goes on.
void confirmAndDelete(bool cut) {
    int selected;
    {
        UiItemLockGuard lock;
        selected = syncSelectionMarks(*view);
    }
    if (selected == 0) return;
    char text[96];
    std::snprintf(text, sizeof text, cut ? "%d個の選択状態のアイテムを切り取ります" : "%d個の選択状態のアイテムを削除します",
                  selected);
    if (runCountdownDialog(panes.main, text, cut ? IDB_CONFIRM_CUT : IDB_CONFIRM_DELETE, 0) != IDC_COUNTDOWN_OK) return;
    if (cut) {
        UiItemLockGuard lock;
        if (!copySelectedUrls(panes.main)) return;  // nothing is removed that did not reach the clipboard
    }
    postToScheduler(SCHED_DELETE, 0, 0);
}

void openSaveFolder() {
    std::string folder;
    if (selectedRowCount() > 0) {
        UiItemLockGuard lock;
        DownloadItem* shown = currentList->logItem;
        if (shown && itemRow(*currentList, shown) >= 0) folder = containingFolder(textOf(shown->savePath));
    }
    if (folder.empty()) folder = textOf(currentList->saveFolderPath);
    ShellExecuteA(nullptr, "open", folder.c_str(), "", "", SW_SHOWNORMAL);
}

void startListingTool() {
    POINT cursor;
    GetCursorPos(&cursor);
    int x = cursor.x - 64;
    if (x < 0) x = 0;
    char parameters[32];
    std::snprintf(parameters, sizeof parameters, "%d,%d", x, static_cast<int>(cursor.y));
    std::string tool = std::string(programPaths.programFolder) + "tool\\Drovik.exe";
    ShellExecuteA(nullptr, "open", tool.c_str(), parameters, "", SW_SHOWNORMAL);
}

void setViewSwitch(int command, int32_t& flag, bool on) {
    flag = on ? 1 : 0;
    setViewCheck(panes.main, command, on);
    switch (command) {
    case IDM_FLAT_TOOLBAR: setToolbarFlat(panes.toolbar, on); break;
    case IDM_LIST_GRID: {
        DWORD style = static_cast<DWORD>(SendMessageA(panes.itemList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        style = on ? (style | LVS_EX_GRIDLINES) : (style & ~LVS_EX_GRIDLINES);
        SendMessageA(panes.itemList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
        break;
    }
    case IDM_SIZE_GRIP: showStatusStrip(on); break;
    case IDM_FLAT_TAB: {
        LONG_PTR style = GetWindowLongPtrA(panes.tabs, GWL_STYLE);
        SetWindowLongPtrA(panes.tabs, GWL_STYLE, on ? (style | TCS_FLATBUTTONS) : (style & ~TCS_FLATBUTTONS));
        InvalidateRect(panes.tabs, nullptr, TRUE);
        break;
    }
    }
}

// The title names the file of the list that is shown.
void showTitle(HWND window, const DownloadList& list) {
    std::string title = std::string("Quovar - ") + list.itemListFilePath;
    SetWindowTextA(window, title.c_str());
}

void saveEverythingHere() {
    UiItemLockGuard lock;
    saveAll(SaveCaller::MainWindow);
}

void onCommand(HWND window, int id) {
    switch (id) {
    case IDM_SAVE_ALL: postToScheduler(SCHED_SAVE_ALL, 0, 0); break;
    case IDM_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); break;
    case IDM_DELETE_FINISHED: postToScheduler(SCHED_DELETE, 0, 1); break;
    case IDM_CUT: confirmAndDelete(true); break;
    case IDM_COPY: {
        UiItemLockGuard lock;
        copySelectedUrls(window);
        break;
    }
    case IDM_PASTE: {
        if (closing) {
            showMessage(kClosingText, kCaptionReport, noticeWarning());
            break;
        }
        {
            UiItemLockGuard lock;
            pasteUrls(window);
        }
        refreshDownloadGroup();
        break;
    }
    case IDM_DELETE: confirmAndDelete(false); break;
    case IDM_SELECT_ALL: {
        UiItemLockGuard lock;
        selectAll(*view);
        break;
    }
    case IDM_EDIT_ITEM: postToScheduler(SCHED_EDIT_ITEM, 0, reinterpret_cast<LPARAM>(currentList)); break;
    case IDM_START: postItemCommand(SELECTED_ONLY | CMD_START); break;
    case IDM_STOP: postItemCommand(SELECTED_ONLY | CMD_STOP); break;
    case IDM_START_AT_ONCE: postItemCommand(SELECTED_ONLY | CMD_START_AT_ONCE); break;
    case IDM_MOVE_UP:
    case IDM_MOVE_DOWN: {
        UiItemLockGuard lock;
        (id == IDM_MOVE_UP ? moveSelectedUp : moveSelectedDown)(*view);
        break;
    }
    case IDM_START_ALL: postItemCommand(CMD_START); break;
    case IDM_STOP_ALL: postItemCommand(CMD_STOP); break;
    case IDM_OPEN_FOLDER: openSaveFolder(); break;
    case IDM_FTP_LIST: startListingTool(); break;
    case IDM_NEW_ITEM: runNewItemDialog(window); break;
    case IDM_PROGRAM_SETTINGS: runProgramSettingsDialog(window); break;
    case IDM_VERSION: runVersionDialog(window); break;
    case IDM_DOWNLOAD_SETTINGS:
        if (runSettingsDialog(window) == IDOK) showTitle(window, downloadLists[selectedSlot()]);
        break;
    case IDM_FLAT_TOOLBAR: setViewSwitch(id, programSettings.flatToolBar, programSettings.flatToolBar != 1); break;
    case IDM_LIST_GRID: setViewSwitch(id, programSettings.listGrid, programSettings.listGrid != 1); break;
    case IDM_SIZE_GRIP: setViewSwitch(id, programSettings.statusWndFlag, programSettings.statusWndFlag != 1); break;
    case IDM_FLAT_TAB: setViewSwitch(id, programSettings.flatTab, programSettings.flatTab != 1); break;
    case IDM_NEW_TAB: {
        int before = currentTabIndex;
        {
            UiItemLockGuard lock;
            syncSelectionMarks(*view);
            createNewList(tabControl);
        }
        if (currentTabIndex != before) postToScheduler(SCHED_SWITCH_LIST, 0, 0);
        break;
    }
    case IDM_CLOSE_TAB: {
        bool deleted;
        {
            UiItemLockGuard lock;
            deleted = deleteCurrentList(tabControl, rowCount());
        }
        if (deleted) postToScheduler(SCHED_SWITCH_LIST, 0, 0);
        break;
    }
    default: break;  // commands without an action (import, export, help) stay inert
    }
}

LRESULT onItemListNotify(HWND window, NMHDR* header) {
    switch (header->code) {
    case LVN_ITEMCHANGED: {
        if (rewritingRows()) return 0;
        refreshEditGroup();
        refreshDownloadGroup();
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        auto* item = reinterpret_cast<DownloadItem*>(change->lParam);
        if (change->uNewState == (LVIS_SELECTED | LVIS_FOCUSED) && item && item != currentList->logItem)
            postToScheduler(SCHED_SET_LOG_ITEM, reinterpret_cast<WPARAM>(item), 0);
        return 0;
    }
    case NM_CUSTOMDRAW: {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && GetFocus() != panes.itemList &&
            SendMessageA(panes.itemList, LVM_GETITEMSTATE, draw->nmcd.dwItemSpec, LVIS_SELECTED))
            draw->clrTextBk = panes.buttonFace;
        return CDRF_DODEFAULT;
    }
    case NM_RELEASEDCAPTURE: InvalidateRect(panes.itemList, nullptr, FALSE); return 0;
    case NM_RCLICK: showItemPopup(window, selectedRowCount() > 0); return 0;
    case NM_DBLCLK: PostMessageA(window, WM_COMMAND, IDM_EDIT_ITEM, 0); return 0;
    default: return 0;
    }
}

LRESULT onNotify(HWND window, NMHDR* header) {
    if (header->hwndFrom == panes.itemList) return onItemListNotify(window, header);
    if (header->hwndFrom == panes.toolbar && header->code == TBN_DROPDOWN) {
        showSettingsDropDown(window, panes.toolbar, reinterpret_cast<NMTOOLBARA*>(header));
        return TBDDRET_DEFAULT;
    }
    if (header->hwndFrom == panes.tabs && header->code == TCN_SELCHANGE)
        switchToTab(static_cast<int>(SendMessageA(panes.tabs, TCM_GETCURSEL, 0, 0)));
    return 0;
}

bool onCreate(HWND window) {
    panes.main = window;
    panes.buttonFace = GetSysColor(COLOR_BTNFACE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    panes.toolbar = createToolbar(window);

    loadProgramSettings(programSettings, programPaths.settingsPath);
    SetWindowPos(window, nullptr, programSettings.posX, programSettings.posY, programSettings.sizeX,
                 programSettings.sizeY, SWP_NOZORDER);
    panes.listFont = makeFont(programSettings.listFontHeight, programSettings.listFontWeight,
                              programSettings.listFontName);
    panes.tabFont = makeFont(programSettings.tabFontHeight, programSettings.tabFontWeight, programSettings.tabFontName);
    panes.statusFont = CreateFontA(-12, 0, 0, 0, 400, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, PROOF_QUALITY,
                                   FIXED_PITCH | FF_MODERN, "ＭＳ Ｐゴシック");

    createPanes(window);
    if (!panes.itemList || !panes.tabs || !panes.logPane) return false;
    tabControl.control = panes.tabs;
    tabStrip = &tabControl;
    useWindowView();

    loadAllLists(tabControl);
    readAllItemLists();
    currentTabIndex = 0;
    tabControl.select(0);
    switchToSelectedList();

    setViewSwitch(IDM_FLAT_TOOLBAR, programSettings.flatToolBar, programSettings.flatToolBar == 1);
    setViewSwitch(IDM_LIST_GRID, programSettings.listGrid, programSettings.listGrid == 1);
    setViewSwitch(IDM_SIZE_GRIP, programSettings.statusWndFlag, programSettings.statusWndFlag == 1);
    setViewSwitch(IDM_FLAT_TAB, programSettings.flatTab, programSettings.flatTab == 1);
    setMenuCheckImages(itemStateImages());
    makeMainMenuOwnerDrawn(window);

    schedulerMainWindow = window;
    setReportWindow(window);  // the scheduler's boxes are shown here, owned by this window
    schedulerThread = startScheduler();
    startProgramTimers(window);
    return true;
}

void onSize(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(panes.toolbar, message, wParam, lParam);
    RECT bar{};
    if (panes.toolbar) GetWindowRect(panes.toolbar, &bar);
    panes.toolbarHeight = bar.bottom - bar.top;
    MoveWindow(panes.tabs, 0, panes.toolbarHeight + 6, LOWORD(lParam), programSettings.tabFontHeight + 9, TRUE);
    layoutPanes();
    HDC dc = GetDC(window);
    paintBackground(dc);
    ReleaseDC(window, dc);
}

// Waits for the scheduler thread to end, carrying out what other threads send meanwhile.
void waitForSchedulerEnd() {
    for (;;) {
        DWORD code = 0;
        if (!schedulerThread || (GetExitCodeThread(schedulerThread, &code) && code != STILL_ACTIVE)) return;
        MsgWaitForMultipleObjects(1, &schedulerThread, FALSE, 10, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void onClose(HWND window) {
    killProgramTimers(window);
    if (currentRunState() == RUN_RUNNING) {
        closing = true;
        saveEverythingHere();
        postToScheduler(SCHED_EXIT, 0, 0);
        return;
    }
    // A close request of the user's while the scheduler still winds transfers down is ignored
    // rather than waited for; the scheduler's own WM_CLOSE comes when it is about to end.
    if (!schedulerDone() || finishing) return;
    finishing = true;
    waitForSchedulerEnd();
    MSG pending;
    while (PeekMessageA(&pending, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
    if (schedulerThread) CloseHandle(schedulerThread);
    schedulerThread = nullptr;
    setStatusText("スレッド終了確認");
    runExitActions(window);
    DestroyWindow(window);
}

}  // namespace

bool closeBegun() { return closing; }

namespace {

void onDestroy() {
    setReportWindow(nullptr);
    destroyMenuResources();
    destroyPaneResources();
    {
        ItemLockGuard lock;
        releaseAllLists();
    }
    PostQuitMessage(0);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return onCreate(window) ? 0 : -1;
    case WM_COMMAND: onCommand(window, LOWORD(wParam)); return 0;
    case WM_NOTIFY: return onNotify(window, reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE: onSize(window, message, wParam, lParam); return 0;
    case WM_SETFOCUS: SetFocus(panes.itemList); return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        paintBackground(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_SYSCOLORCHANGE:
        panes.buttonFace = GetSysColor(COLOR_BTNFACE);
        SendMessageA(panes.itemList, message, wParam, lParam);
        SendMessageA(panes.logPane, message, wParam, lParam);
        return 0;
    case WM_MEASUREITEM:
        if (wParam == 0 && onMeasureMenuItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (wParam == 0 && onDrawMenuItem(window, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_MENUCHAR: {
        LRESULT result = 0;
        if (onMenuChar(window, wParam, lParam, &result)) return result;
        break;
    }
    case WM_QUERYENDSESSION: saveEverythingHere(); return TRUE;
    case WM_TIMER: onProgramTimer(window, wParam); return 0;
    case WM_TIMECHANGE: onTimeChange(window); return 0;
    case WM_CLOSE: onClose(window); return 0;
    case WM_DESTROY: onDestroy(); return 0;
    case WM_SHOW_REPORT: showPostedReport(lParam); return 0;
    case SCHED_EDIT_ITEM: runEditItemDialog(window, reinterpret_cast<DownloadItem*>(lParam)); return 0;
    case WM_SHOW_LIST: {
        auto& list = *reinterpret_cast<DownloadList*>(lParam);
        showTitle(window, list);
        ShowWindow(panes.itemList, SW_HIDE);
        rebuildItemRows(panes.itemList, list);
        ShowWindow(panes.itemList, SW_SHOW);
        RECT row{};
        row.left = LVIR_BOUNDS;
        if (SendMessageA(panes.itemList, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)))
            SendMessageA(panes.itemList, LVM_SCROLL, 0, list.topIndex * (row.bottom - row.top));
        SetFocus(panes.itemList);
        refreshEditGroup();
        refreshDownloadGroup();
        return 0;
    }
    case WM_REFRESH_COMMANDS: refreshDownloadGroup(); return 0;
    case WM_ALL_ROWS: changeAllRows(wParam, *reinterpret_cast<DownloadList*>(lParam)); return 0;
    case WM_UPDATE_CELLS: {
        const auto& update = *reinterpret_cast<const CellUpdate*>(lParam);
        setItemRowCells(panes.itemList, update.row, *update.item, update.columns, update.count);
        return 0;
    }
    case WM_SAVE_PROGRESS:
        if (wParam == 0) showSaveProgress(static_cast<int>(lParam));
        if (wParam == 1) stepSaveProgress();
        if (wParam == 2) hideSaveProgress();
        return 0;
    }
    if (message == WM_NCPAINT) {
        HDC dc = GetDC(window);
        paintBackground(dc);
        ReleaseDC(window, dc);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.style = CS_PARENTDC | CS_BYTEALIGNWINDOW;
    c.lpfnWndProc = mainWindowProc;
    c.hInstance = instance;
    c.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    c.hIconSm = c.hIcon;
    c.hCursor = LoadCursor(nullptr, IDC_ARROW);
    c.lpszMenuName = "MAINMENU";
    c.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&c) != 0;
}

HWND createMainWindow(HINSTANCE instance) {
    return CreateWindowExA(0, kMainWindowClass, "Quovar", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr,
                           nullptr, instance, nullptr);
}
