#include "ui/toolbar.h"
#include "common/win_handles.h"
#include "resources/resource.h"

namespace {

struct ToolbarButton {
    int command;
    int bitmap;
    const char* tooltip;
    BYTE style;
};

// In creation order; the button's index is also its picture slot.
constexpr ToolbarButton kButtons[] = {
    {IDM_OPEN_FOLDER, IDB_OPEN_FOLDER, "保存フォルダを開く", BTNS_BUTTON},
    {IDM_SAVE_ALL, IDB_SAVE_ALL, "設定、アイテムを保存", BTNS_BUTTON},
    {IDM_NEW_ITEM, IDB_NEW_ITEM, "新規アイテムを作成...", BTNS_BUTTON},
    {IDM_EDIT_ITEM, IDB_EDIT_ITEM, "アイテムの編集...", BTNS_BUTTON},
    {IDM_CUT, IDB_CUT, "切り取り", BTNS_BUTTON},
    {IDM_COPY, IDB_COPY, "コピー", BTNS_BUTTON},
    {IDM_PASTE, IDB_PASTE, "貼り付け", BTNS_BUTTON},
    {IDM_DELETE, IDB_DELETE, "削除", BTNS_BUTTON},
    {IDM_DELETE_FINISHED, IDB_DELETE_FINISHED, "全てのＤＬ済みアイテム削除", BTNS_BUTTON},
    {IDM_START, IDB_START, "選択アイテム開始", BTNS_BUTTON},
    {IDM_STOP, IDB_STOP, "選択アイテム停止", BTNS_BUTTON},
    {IDM_MOVE_UP, IDB_MOVE_UP, "選択アイテム上へ移動", BTNS_BUTTON},
    {IDM_MOVE_DOWN, IDB_MOVE_DOWN, "選択アイテム下へ移動", BTNS_BUTTON},
    {IDM_START_ALL, IDB_START_ALL, "全てのアイテム開始", BTNS_BUTTON},
    {IDM_STOP_ALL, IDB_STOP_ALL, "全てのアイテム停止", BTNS_BUTTON},
    {IDM_DOWNLOAD_SETTINGS, IDB_SETTINGS, "設定...", BTNS_DROPDOWN},
    {IDM_NEW_TAB, IDB_NEW_TAB, "新規タブ作成", BTNS_BUTTON},
    {IDM_CLOSE_TAB, IDB_CLOSE_TAB, "選択タブ破棄", BTNS_BUTTON},
};
constexpr int kButtonCount = sizeof kButtons / sizeof kButtons[0];
constexpr int kStartAtOnceSlot = 18;

// Separators go in from the last position to the first, so that each position counts buttons only.
constexpr int kSeparatorPositions[] = {16, 15, 13, 11, 9, 7, 4, 3};

// Gray icon of each slot, 0 where the slot has none.
constexpr int kGrayIcons[kPictureSlotCount] = {
    0,
    IDI_GRAY_SAVE_ALL,
    IDI_GRAY_NEW_ITEM,
    IDI_GRAY_EDIT_ITEM,
    IDI_GRAY_CUT,
    IDI_GRAY_COPY,
    IDI_GRAY_PASTE,
    IDI_GRAY_DELETE,
    IDI_GRAY_DELETE_FINISHED,
    IDI_GRAY_START,
    IDI_GRAY_STOP,
    IDI_GRAY_MOVE_UP,
    IDI_GRAY_MOVE_DOWN,
    IDI_GRAY_START_ALL,
    IDI_GRAY_STOP_ALL,
    0,
    IDI_GRAY_NEW_TAB,
    IDI_GRAY_CLOSE_TAB,
    IDI_GRAY_START_AT_ONCE,
    0,
    0,
};

constexpr int kPictureSide = 14;
constexpr int kTooltipWidth = 240;
constexpr int kIndent = 3;

// Written once by the UI thread while the toolbar is created; read by the menu drawing.
BitmapHandle pictureSlots[kPictureSlotCount];
IconHandle grayPictureSlots[kPictureSlotCount];

HINSTANCE instanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)); }

HBITMAP loadPicture(HINSTANCE instance, int bitmap) {
    return static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(bitmap), IMAGE_BITMAP, kPictureSide, kPictureSide, LR_LOADMAP3DCOLORS));
}

void addButtons(HWND toolbar, HINSTANCE instance) {
    for (int slot = 0; slot < kButtonCount; ++slot) {
        const ToolbarButton& button = kButtons[slot];
        pictureSlots[slot].reset(loadPicture(instance, button.bitmap));
        // The bar copies the picture into its own image list; the slot keeps ours for the menus.
        TBADDBITMAP picture{nullptr, reinterpret_cast<UINT_PTR>(pictureSlots[slot].get())};
        LRESULT image = SendMessageA(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&picture));
        TBBUTTON entry{};
        entry.iBitmap = static_cast<int>(image);
        entry.idCommand = button.command;
        entry.fsState = TBSTATE_ENABLED;
        entry.fsStyle = button.style;
        SendMessageA(toolbar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&entry));
    }
    pictureSlots[kStartAtOnceSlot].reset(loadPicture(instance, IDB_START_AT_ONCE));
}

void addTooltips(HWND mainWindow, HWND toolbar, HINSTANCE instance) {
    HWND tooltips = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, mainWindow, nullptr, instance, nullptr);
    if (!tooltips) return;
    for (int index = 0; index < kButtonCount; ++index) {
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = toolbar;
        tool.uId = static_cast<UINT_PTR>(kButtons[index].command);
        SendMessageA(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&tool.rect));
        tool.lpszText = const_cast<char*>(kButtons[index].tooltip);
        SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    // From here on the bar moves each tool's rectangle along with its button.
    SendMessageA(toolbar, TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(tooltips), 0);
    SendMessageA(tooltips, TTM_SETMAXTIPWIDTH, 0, kTooltipWidth);
}

void addSeparators(HWND toolbar) {
    for (int position : kSeparatorPositions) {
        TBBUTTON separator{};
        separator.fsStyle = BTNS_SEP;
        SendMessageA(toolbar, TB_INSERTBUTTONA, position, reinterpret_cast<LPARAM>(&separator));
    }
}

void loadGrayPictures(HINSTANCE instance) {
    for (int slot = 0; slot < kPictureSlotCount; ++slot) {
        HICON icon = nullptr;
        if (kGrayIcons[slot] != 0)
            icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kGrayIcons[slot]), IMAGE_ICON,
                                                 kPictureSide, kPictureSide, LR_CREATEDIBSECTION));
        grayPictureSlots[slot].reset(icon);
    }
}

}  // namespace

HWND createToolbar(HWND mainWindow) {
    HINSTANCE instance = instanceOf(mainWindow);
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NODIVIDER, 0, 0, 0, 0,
                                   mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR)), instance,
                                   nullptr);
    if (!toolbar) return nullptr;
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    // The bar's image list takes its picture size from the first picture added unless told before:
    // at its default of 16 x 15 a 14-pixel-wide picture would hold no image at all.
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(kPictureSide, kPictureSide));
    addButtons(toolbar, instance);
    addTooltips(mainWindow, toolbar, instance);
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(kPictureSide, kPictureSide));
    SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(kPictureSide, kPictureSide));
    SendMessageA(toolbar, TB_SETINDENT, kIndent, 0);
    addSeparators(toolbar);
    loadGrayPictures(instance);
    return toolbar;
}

void setToolbarFlat(HWND toolbar, bool flat) {
    LONG_PTR style = GetWindowLongPtrA(toolbar, GWL_STYLE);
    style = flat ? (style | TBSTYLE_FLAT) : (style & ~static_cast<LONG_PTR>(TBSTYLE_FLAT));
    SetWindowLongPtrA(toolbar, GWL_STYLE, style);
    InvalidateRect(toolbar, nullptr, TRUE);
}

void showSettingsDropDown(HWND mainWindow, HWND toolbar, const NMTOOLBARA* notice) {
    RECT button{};
    SendMessageA(toolbar, TB_GETRECT, notice->iItem, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&button), 2);
    MenuHandle menu(LoadMenuA(instanceOf(mainWindow), MENU_SETTINGS_DROP_DOWN));
    if (!menu.valid()) return;
    TPMPARAMS keepClear{};
    keepClear.cbSize = sizeof keepClear;
    keepClear.rcExclude = button;
    TrackPopupMenuEx(GetSubMenu(menu.get(), 0), TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_VERTICAL, button.left,
                     button.bottom, mainWindow, &keepClear);
}

void enableToolbarButton(HWND toolbar, int command, bool enabled) {
    SendMessageA(toolbar, TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

HBITMAP pictureOfSlot(int slot) {
    if (slot < 0 || slot >= kPictureSlotCount) return nullptr;
    return pictureSlots[slot].get();
}

HICON grayPictureOfSlot(int slot) {
    if (slot < 0 || slot >= kPictureSlotCount) return nullptr;
    return grayPictureSlots[slot].get();
}
