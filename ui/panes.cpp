#include "ui/panes.h"
#include "lists/program_settings.h"
#include "resources/resource.h"
#include "ui/item_list_view.h"
#include <commctrl.h>
#include <string>

Panes panes;

namespace {

constexpr int kStripHeight = 12;
constexpr char kSplitterClass[] = "sWndClass";
constexpr char kGripClass[] = "asWndClass";

std::string statusText;
COLORREF statusColour = RGB(0, 0, 0);
bool dragging = false;  // the splitter or the grip has the mouse
POINT gripStart;
RECT gripWindowStart;

int stripHeight() { return panes.sizeGrip ? kStripHeight : 0; }

void drawStatusText(HDC dc) {
    RECT r;
    GetClientRect(panes.main, &r);
    r.top = r.bottom - 11;
    r.right -= 13;
    HBRUSH face = CreateSolidBrush(panes.buttonFace);
    FillRect(dc, &r, face);
    DeleteObject(face);
    HGDIOBJ old = SelectObject(dc, panes.statusFont);
    SetTextColor(dc, statusColour);
    SetBkColor(dc, panes.buttonFace);
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, r.left, r.top, statusText.c_str(), static_cast<int>(statusText.size()));
    SelectObject(dc, old);
}

LRESULT CALLBACK splitterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        if (!dragging) {
            SetCapture(window);
            dragging = true;
        }
        return 0;
    case WM_LBUTTONUP:
        dragging = false;
        ReleaseCapture();
        return 0;
    case WM_MOUSEMOVE: {
        if (!(wParam & MK_LBUTTON) || !dragging) return 0;
        RECT client;
        GetClientRect(panes.main, &client);
        int bottom = client.bottom - stripHeight();
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        MapWindowPoints(window, panes.main, &at, 1);
        int y = at.y;
        int lowest = panes.toolbarHeight + 2 * programSettings.tabFontHeight + programSettings.listFontHeight +
                     GetSystemMetrics(SM_CYHSCROLL) + 14;
        int highest = client.top + bottom - programSettings.listFontHeight - 5;
        if (y < lowest) y = lowest;
        if (y > highest) y = highest;
        programSettings.logHeight = bottom - client.top - y;
        layoutPanes();
        return 0;
    }
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK gripProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: panes.sizeGrip = window; return 0;
    case WM_DESTROY: panes.sizeGrip = nullptr; return 0;
    case WM_LBUTTONDOWN:
        if (!dragging) {
            GetCursorPos(&gripStart);
            GetWindowRect(panes.main, &gripWindowStart);
            SetCapture(window);
            dragging = true;
        }
        return 0;
    case WM_MOUSEMOVE:
        if ((wParam & MK_LBUTTON) && dragging) {
            POINT now;
            GetCursorPos(&now);
            SetWindowPos(panes.main, nullptr, 0, 0,
                         gripWindowStart.right - gripWindowStart.left + now.x - gripStart.x,
                         gripWindowStart.bottom - gripWindowStart.top + now.y - gripStart.y,
                         SWP_NOMOVE | SWP_NOZORDER);
        }
        return 0;
    case WM_LBUTTONUP:
        dragging = false;
        ReleaseCapture();
        return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void registerClass(const char* name, WNDPROC proc, LPCSTR cursor) {
    WNDCLASSA c{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &c)) return;
    c.lpfnWndProc = proc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hCursor = LoadCursor(nullptr, cursor);
    c.lpszClassName = name;
    RegisterClassA(&c);
}

HWND child(DWORD exStyle, const char* className, DWORD style, int id) {
    return CreateWindowExA(exStyle, className, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, panes.main,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

void createPanes(HWND main) {
    panes.main = main;
    panes.tabs = child(0, WC_TABCONTROLA, TCS_FOCUSNEVER | TCS_BUTTONS | TCS_HOTTRACK, 0);
    SendMessageA(panes.tabs, TCM_SETEXTENDEDSTYLE, 0, TCS_EX_FLATSEPARATORS);
    SendMessageA(panes.tabs, WM_SETFONT, reinterpret_cast<WPARAM>(panes.tabFont), TRUE);
    int side = programSettings.tabFontHeight;
    panes.tabImages = ImageList_Create(side, side, ILC_COLOR4 | ILC_MASK, 2, 0);
    for (int icon : {IDI_TAB_IDLE, IDI_TAB_BUSY}) {
        HICON picture = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON, side, side, 0));
        ImageList_AddIcon(panes.tabImages, picture);
        DestroyIcon(picture);
    }
    SendMessageA(panes.tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(panes.tabImages));

    panes.itemList = createItemListView(main, panes.listFont);
    panes.logPane = child(WS_EX_CLIENTEDGE, WC_LISTVIEWA, LVS_NOCOLUMNHEADER | LVS_REPORT, IDC_LOG_PANE);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    SendMessageA(panes.logPane, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageA(panes.logPane, WM_SETFONT, reinterpret_cast<WPARAM>(panes.listFont), TRUE);

    registerClass(kSplitterClass, splitterProc, IDC_SIZENS);
    panes.splitter = child(WS_EX_TRANSPARENT, kSplitterClass, 0, 0);
}

void layoutPanes() {
    RECT r;
    GetClientRect(panes.main, &r);
    if (panes.sizeGrip)
        SetWindowPos(panes.sizeGrip, nullptr, r.right - 12, r.bottom - 12, 12, 12, SWP_NOZORDER | SWP_NOREDRAW);
    int bottom = r.bottom - stripHeight();
    int h = panes.toolbarHeight;
    int f = programSettings.tabFontHeight;
    int p = programSettings.logHeight;
    int y0 = r.top + h + f + 15;
    int listHeight = bottom - (h + 2) - (f + 13) - (p + 3);
    if (listHeight > 0) {
        MoveWindow(panes.itemList, r.left, y0, r.right, listHeight, TRUE);
        MoveWindow(panes.splitter, r.left, y0 + listHeight, r.right, 3, TRUE);
        MoveWindow(panes.logPane, r.left, y0 + listHeight + 3, r.right, p, TRUE);
    } else {
        MoveWindow(panes.itemList, r.left, y0, r.right, 0, TRUE);
        MoveWindow(panes.splitter, 0, 0, 0, 0, TRUE);
        int rest = bottom - h - (f + 13);
        MoveWindow(panes.logPane, r.left, y0, r.right, rest > 0 ? rest : 0, TRUE);
    }
    RECT logClient;
    GetClientRect(panes.logPane, &logClient);
    SendMessageA(panes.logPane, LVM_SETCOLUMNWIDTH, 0, logClient.right - GetSystemMetrics(SM_CXVSCROLL));
}

void paintBackground(HDC dc) {
    RECT r;
    GetClientRect(panes.main, &r);
    HBRUSH face = CreateSolidBrush(panes.buttonFace);
    FillRect(dc, &r, face);
    DeleteObject(face);
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HGDIOBJ old = SelectObject(dc, shadow);
    int y = r.top + panes.toolbarHeight + 2;
    MoveToEx(dc, r.left, y, nullptr);
    LineTo(dc, r.right, y);
    SelectObject(dc, light);
    MoveToEx(dc, r.left, y + 1, nullptr);
    LineTo(dc, r.right, y + 1);
    if (panes.sizeGrip) {
        int x = r.right - 2;
        for (int d : {11, 8, 5, 2, 10, 9, 7, 6, 4, 3, 1}) {
            if (d == 10) SelectObject(dc, shadow);
            MoveToEx(dc, x, r.bottom - d, nullptr);
            LineTo(dc, x - d - 1, r.bottom + 1);
        }
    }
    SelectObject(dc, old);
    DeleteObject(shadow);
    DeleteObject(light);
    drawStatusText(dc);
}

void showStatusStrip(bool show) {
    if (show == (panes.sizeGrip != nullptr)) return;
    RECT w;
    GetWindowRect(panes.main, &w);
    if (show) {
        registerClass(kGripClass, gripProc, IDC_SIZENWSE);
        CreateWindowExA(WS_EX_TRANSPARENT, kGripClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, panes.main, nullptr,
                        GetModuleHandleA(nullptr), nullptr);
    } else {
        DestroyWindow(panes.sizeGrip);
    }
    int change = show ? kStripHeight : -kStripHeight;
    SetWindowPos(panes.main, nullptr, 0, 0, w.right - w.left, w.bottom - w.top + change, SWP_NOMOVE | SWP_NOZORDER);
    layoutPanes();
}

bool statusStripShown() { return panes.sizeGrip != nullptr; }

void setStatusText(const char* text) {
    if (text) statusText = text;
    HDC dc = GetDC(panes.main);
    drawStatusText(dc);
    ReleaseDC(panes.main, dc);
}

void clearLogPane() { SendMessageA(panes.logPane, LVM_DELETEALLITEMS, 0, 0); }

void addLogPaneLine(const char* text) {
    LVITEMA row{};
    row.mask = LVIF_TEXT;
    row.iItem = static_cast<int>(SendMessageA(panes.logPane, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = const_cast<char*>(text);
    SendMessageA(panes.logPane, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    if (!logPaneHasFocus()) SendMessageA(panes.logPane, LVM_ENSUREVISIBLE, row.iItem, FALSE);
}

bool logPaneHasFocus() {
    // The scheduler adds lines too, and GetFocus() answers only for the calling thread: ask the
    // thread that owns the pane.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(panes.logPane, nullptr), &info) &&
           info.hwndFocus == panes.logPane;
}

namespace {
bool stripShownForSave = false;  // the strip was hidden and is shown only while the lists are saved
}

void showSaveProgress(int total) {
    stripShownForSave = !statusStripShown();
    if (stripShownForSave) showStatusStrip(true);
    RECT r;
    GetClientRect(panes.main, &r);
    panes.saveProgress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, r.bottom - 11,
                                         r.right - 13, 12, panes.main, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(panes.saveProgress, PBM_SETRANGE32, 0, total > 0 ? total : 1);
    SendMessageA(panes.saveProgress, PBM_SETSTEP, 1, 0);
}

void stepSaveProgress() {
    if (panes.saveProgress) SendMessageA(panes.saveProgress, PBM_STEPIT, 0, 0);
}

void hideSaveProgress() {
    if (panes.saveProgress) DestroyWindow(panes.saveProgress);
    panes.saveProgress = nullptr;
    if (stripShownForSave) showStatusStrip(false);
    stripShownForSave = false;
}

void destroyPaneResources() {
    for (HFONT* font : {&panes.statusFont, &panes.listFont, &panes.tabFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
    if (panes.tabImages) ImageList_Destroy(panes.tabImages);
    panes.tabImages = nullptr;
    destroyItemListImages();
}
