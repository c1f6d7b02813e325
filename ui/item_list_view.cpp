#include "ui/item_list_view.h"
#include "lists/item_chain.h"
#include "lists/items.h"
#include "lists/program_settings.h"
#include "resources/resource.h"
#include "scheduler/scheduler.h"
#include "engine/transfer_events.h"
#include "ui/cell_text.h"
#include <commctrl.h>

namespace {

WNDPROC previousProc = nullptr;
HIMAGELIST stateImages = nullptr;
bool rewriting = false;

// The header press being tracked between button press and release.
struct HeaderPress {
    bool pressed = false;
    int column = 0;
    RECT hot{};
} press;

// Holds back the control's drawing and layout for a whole-list change: without it the control lays
// out and scrolls after every row, which makes a list of 1024 rows take most of a second.
class RedrawPause {
  public:
    explicit RedrawPause(HWND list) : list_(list) { SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawPause() {
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

  private:
    HWND list_;
};

void setCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
}

// Row marks as the control keeps them: selected and focused.
UINT marksOf(const DownloadItem& item) {
    return ((item.viewState & kRowSelected) ? LVIS_SELECTED : 0) | ((item.viewState & kRowFocused) ? LVIS_FOCUSED : 0);
}

void setRowData(HWND list, int row, DownloadItem& item, bool insert) {
    LVITEMA entry{};
    entry.mask = LVIF_PARAM | LVIF_IMAGE | LVIF_STATE | LVIF_TEXT;
    entry.iItem = row;
    entry.lParam = reinterpret_cast<LPARAM>(&item);
    entry.iImage = item.state;
    entry.state = marksOf(item);
    entry.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    entry.pszText = item.saveName;
    SendMessageA(list, insert ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
}

int CALLBACK compareRows(LPARAM a, LPARAM b, LPARAM sortParam) {
    int column = LOWORD(sortParam);
    int direction = HIWORD(sortParam);
    return compareItems(*reinterpret_cast<DownloadItem*>(a), *reinterpret_cast<DownloadItem*>(b), column,
                        direction, [](const char* x, const char* y) { return lstrcmpA(x, y); });
}

// A press on a column's header band (row 0's top strip) starts a sort; the 4 pixels at the left and
// 8 at the right of each column are left to the header's divider dragging.
LRESULT onMouseActivate(HWND list, WPARAM wParam, LPARAM lParam) {
    SetFocus(list);
    UINT button = HIWORD(lParam);
    if ((button != WM_LBUTTONDOWN && button != WM_RBUTTONDOWN) || SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 0)
        return CallWindowProcA(previousProc, list, WM_MOUSEACTIVATE, wParam, lParam);
    RECT row0{};
    row0.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0));
    int bandBottom = (row0.bottom - row0.top) + 1;
    int left = row0.left;
    int right = left + static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(list, &cursor);
    RECT client;
    GetClientRect(list, &client);
    if (cursor.x < client.right) {
        for (int column = 0; column < COL_COUNT; ++column) {
            RECT hot{left + 4, 0, right - 8, bandBottom};
            if (cursor.x >= hot.left && cursor.x <= hot.right && cursor.y >= hot.top && cursor.y <= hot.bottom) {
                if (!press.pressed) {
                    SetCursor(LoadCursor(nullptr, IDC_ARROW));
                    HDC dc = GetDC(list);
                    RECT band{left, 0, right, bandBottom};
                    DrawEdge(dc, &band, BDR_SUNKENINNER, BF_RECT);
                    ReleaseDC(list, dc);
                    SetCapture(list);
                    press = {true, column, hot};
                }
                return MA_ACTIVATEANDEAT;
            }
            left = right;
            right += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column + 1, 0));
        }
    }
    return CallWindowProcA(previousProc, list, WM_MOUSEACTIVATE, wParam, lParam);
}

void onButtonUp(HWND list, LPARAM lParam) {
    if (!press.pressed) return;
    press.pressed = false;
    ReleaseCapture();
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    // The release counts inside the column's header, its edges included.
    const RECT& hot = press.hot;
    if (at.x >= hot.left && at.x <= hot.right && at.y >= hot.top && at.y <= hot.bottom)
        postToScheduler(SCHED_SORT, 0, press.column);
    InvalidateRect(list, nullptr, FALSE);
}

bool onSystemKey(HWND list, WPARAM key, LPARAM lParam);

LRESULT CALLBACK itemListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEACTIVATE: return onMouseActivate(list, wParam, lParam);
    case WM_SYSKEYDOWN:
        // Every other system key (Alt+F4, F10, Alt with a menu's letter) goes on as in any window.
        if (onSystemKey(list, wParam, lParam)) return 0;
        return CallWindowProcA(previousProc, list, message, wParam, lParam);
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: onButtonUp(list, lParam); return 0;
    default: return CallWindowProcA(previousProc, list, message, wParam, lParam);
    }
}

}  // namespace

// Alt+Up / Alt+Down move the selection; the main window gives the commands their meaning.
namespace {
bool onSystemKey(HWND list, WPARAM key, LPARAM lParam) {
    if (!(lParam & (1 << 29)) || (key != VK_UP && key != VK_DOWN)) return false;
    SendMessageA(GetParent(list), WM_COMMAND, key == VK_UP ? IDM_MOVE_UP : IDM_MOVE_DOWN, 0);
    return true;
}
}  // namespace

HWND createItemListView(HWND parent, HFONT font) {
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_NOSORTHEADER | LVS_REPORT,
                                0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ITEM_LIST)),
                                GetModuleHandleA(nullptr), nullptr);
    if (!list) return nullptr;
    DWORD extended = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | LVS_EX_FULLROWSELECT);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    int side = programSettings.listFontHeight + 1;
    stateImages = ImageList_Create(side, side, ILC_COLOR16 | ILC_MASK, 7, 0);
    for (int icon = IDI_STATE_IDLE; icon <= IDI_STATE_IDLE + 6; ++icon) {
        HICON picture = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON, side, side, 0));
        ImageList_AddIcon(stateImages, picture);
        DestroyIcon(picture);
    }
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(stateImages));
    static const int formats[COL_COUNT] = {LVCFMT_LEFT, LVCFMT_RIGHT, LVCFMT_RIGHT, LVCFMT_RIGHT,
                                           LVCFMT_RIGHT, LVCFMT_RIGHT, LVCFMT_LEFT};
    for (int column = 0; column < COL_COUNT; ++column) {
        LVCOLUMNA c{};
        c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        c.fmt = formats[column];
        c.cx = programSettings.columnWidth[column];
        c.pszText = programSettings.columnName[column];
        c.iSubItem = column;
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&c));
    }
    previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(itemListProc)));
    return list;
}

void insertItemRow(HWND list, int row, DownloadItem& item) {
    setRowData(list, row, item, true);
    static const int rest[] = {COL_SIZE, COL_REMAINING, COL_FETCHED, COL_SPEED, COL_TRIES, COL_URL};
    setItemRowCells(list, row, item, rest, 6);
}

void rebuildItemRows(HWND list, DownloadList& from) {
    RedrawPause pause(list);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (DownloadItem* item = from.head; item; item = item->next)
        if (hasRow(*item)) insertItemRow(list, row++, *item);
}

void rewriteItemRows(HWND list, DownloadList& from) {
    RedrawPause pause(list);
    rewriting = true;
    int row = 0;
    for (DownloadItem* item = from.head; item; item = item->next) {
        if (!hasRow(*item)) continue;
        setRowData(list, row, *item, false);
        for (int column = COL_SIZE; column < COL_COUNT; ++column)
            setCell(list, row, column, cellText(*item, column, false));
        ++row;
    }
    rewriting = false;
}

void setItemRowIcon(HWND list, int row, const DownloadItem& item) {
    LVITEMA entry{};
    entry.mask = LVIF_IMAGE;
    entry.iItem = row;
    entry.iImage = item.state;
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
}

void setItemRowCells(HWND list, int row, const DownloadItem& item, const int* columns, int count) {
    for (int i = 0; i < count; ++i) setCell(list, row, columns[i], cellText(item, columns[i]));
}

bool sortItemRows(HWND list, int column, int direction) {
    return SendMessageA(list, LVM_SORTITEMS, MAKEWPARAM(column, direction), reinterpret_cast<LPARAM>(compareRows)) !=
           0;
}

void readColumnWidths(HWND list, int32_t* widths) {
    for (int column = 0; column < COL_COUNT; ++column)
        widths[column] = static_cast<int32_t>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
}

bool rewritingRows() { return rewriting; }

HIMAGELIST itemStateImages() { return stateImages; }

void destroyItemListImages() {
    if (stateImages) ImageList_Destroy(stateImages);
    stateImages = nullptr;
}
