#include "ui/owner_menus.h"
#include "common/cp932.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "resources/resource.h"
#include "ui/toolbar.h"
#include <cstddef>

namespace {

constexpr int kNone = -1;

struct MenuPicture {
    int command;
    int pictureSlot;  // toolbar picture slot, or kNone
    int graySlot;     // gray picture slot, or kNone
    const char* accelerator;
};

constexpr MenuPicture kMainMenuPictures[] = {
    {IDM_START, 9, 9, ""},
    {IDM_STOP, 10, 10, ""},
    {IDM_START_AT_ONCE, 18, 18, ""},
    {IDM_MOVE_UP, 11, 11, "Alt+↑"},
    {IDM_MOVE_DOWN, 12, 12, "Alt+↓"},
    {IDM_START_ALL, 13, 13, ""},
    {IDM_STOP_ALL, 14, 14, ""},
    {IDM_OPEN_FOLDER, 0, 0, ""},
    {IDM_FLAT_TOOLBAR, kNone, kNone, ""},
    {461, kNone, kNone, ""},
    {IDM_LIST_GRID, kNone, kNone, ""},
    {IDM_SIZE_GRIP, kNone, kNone, ""},
    {IDM_FLAT_TAB, kNone, kNone, ""},
    {IDM_NEW_TAB, 2, 2, ""},
    {IDM_NEW_ITEM, 2, 2, ""},
    {IDM_DELETE_FINISHED, 8, 8, ""},
    {IDM_CUT, 4, 4, ""},
    {IDM_COPY, 5, 5, ""},
    {IDM_PASTE, 6, 6, ""},
    {IDM_DELETE, 7, 7, ""},
    {IDM_SELECT_ALL, kNone, kNone, ""},
    {IDM_DOWNLOAD_SETTINGS, 15, kNone, ""},
    {IDM_SAVE_ALL, 1, 1, ""},
    {IDM_PROGRAM_SETTINGS, 15, kNone, ""},
};

constexpr MenuPicture kPopupPictures[] = {
    {IDM_START, 9, 9, ""},      {IDM_STOP, 10, 10, ""},  {IDM_START_AT_ONCE, 18, 18, ""},
    {IDM_COPY, 5, 5, ""},       {IDM_DELETE, 7, 7, ""},  {IDM_OPEN_FOLDER, 0, 0, ""},
};

constexpr int kMainCount = sizeof kMainMenuPictures / sizeof kMainMenuPictures[0];
constexpr int kPopupCount = sizeof kPopupPictures / sizeof kPopupPictures[0];

struct OwnerDrawnEntry {
    int command;
    HBITMAP picture;    // owned by the toolbar's slots
    HICON grayPicture;  // owned by the toolbar's slots
    char text[40];
    char accelerator[10];
};

constexpr int kTextIndent = 22;  // picture column left of the text
constexpr int kPictureInset = 2;
constexpr int kPictureFrame = 18;
constexpr int kMinimumHeight = 18;
constexpr int kCheckImage = 3;
constexpr int kViewMenuPosition = 5;  // 表示 is the sixth menu of the bar

// All of this belongs to the UI thread.
OwnerDrawnEntry mainEntries[kMainCount];
int mainEntryCount = 0;
OwnerDrawnEntry popupEntries[kPopupCount];
int popupEntryCount = 0;
bool popupTracking = false;  // while "M_POPUP" is up, entries are looked up in the popup table
FontHandle menuFont;
int menuHeight = 0;
HIMAGELIST checkImages = nullptr;
IconHandle checkIcon;

HINSTANCE instanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)); }

void makeMenuFont() {
    // The structure without the padded-border field, so that older systems fill it too.
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    menuFont.reset(CreateFontIndirectA(&metrics.lfMenuFont));
    menuHeight = metrics.iMenuHeight;
}

// Fills `entries` from `table` for the entries `menu` holds and makes those owner-drawn.
int makeOwnerDrawn(HMENU menu, const MenuPicture* table, int tableCount, OwnerDrawnEntry* entries) {
    int count = 0;
    for (int i = 0; i < tableCount; ++i) {
        const MenuPicture& picture = table[i];
        UINT state = GetMenuState(menu, static_cast<UINT>(picture.command), MF_BYCOMMAND);
        if (state == static_cast<UINT>(-1)) continue;
        OwnerDrawnEntry& entry = entries[count++];
        entry.command = picture.command;
        entry.picture = pictureOfSlot(picture.pictureSlot);
        entry.grayPicture = grayPictureOfSlot(picture.graySlot);
        entry.text[0] = '\0';
        GetMenuStringA(menu, static_cast<UINT>(picture.command), entry.text, sizeof entry.text, MF_BYCOMMAND);
        copyText(entry.accelerator, picture.accelerator);
        UINT kept = state & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
        ModifyMenuA(menu, static_cast<UINT>(picture.command), MF_BYCOMMAND | MF_OWNERDRAW | kept,
                    static_cast<UINT_PTR>(picture.command), reinterpret_cast<const char*>(&entry));
    }
    return count;
}

const OwnerDrawnEntry* findEntry(UINT command) {
    const OwnerDrawnEntry* entries = popupTracking ? popupEntries : mainEntries;
    int count = popupTracking ? popupEntryCount : mainEntryCount;
    for (int i = 0; i < count; ++i)
        if (static_cast<UINT>(entries[i].command) == command) return &entries[i];
    return nullptr;
}

RECT square(const RECT& item) { return {item.left, item.top, item.left + kPictureFrame, item.top + kPictureFrame}; }

void drawGrayed(HDC dc, const OwnerDrawnEntry& entry, const RECT& item, bool selected) {
    RECT text = item;
    text.left += kTextIndent;
    if (selected) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, entry.text, -1, &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        DrawTextA(dc, entry.accelerator, -1, &text, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
        if (entry.grayPicture)
            DrawStateA(dc, GetSysColorBrush(COLOR_GRAYTEXT), nullptr, reinterpret_cast<LPARAM>(entry.grayPicture), 0,
                       kPictureInset, item.top + kPictureInset, 0, 0, DST_ICON | DSS_MONO);
        return;
    }
    // The plain text in the face colour gives the height of the centred line (DrawText answers the
    // offset of the text's bottom); the embossed text then goes where the plain text stood.
    SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
    int bottom = DrawTextA(dc, entry.text, -1, &text, DT_SINGLELINE | DT_VCENTER);
    OffsetRect(&text, 0, (item.bottom - item.top) - bottom);
    DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(entry.text), 0, text.left, text.top, 0, 0,
               DST_PREFIXTEXT | DSS_DISABLED);
    if (entry.accelerator[0])
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(entry.accelerator), 0, text.left, text.top,
                   text.right - text.left, text.bottom - text.top, DST_PREFIXTEXT | DSS_DISABLED | DSS_RIGHT);
    if (entry.grayPicture)
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(entry.grayPicture), 0, kPictureInset,
                   item.top + kPictureInset, 0, 0, DST_ICON | DSS_DISABLED);
}

void drawEnabled(HDC dc, const OwnerDrawnEntry& entry, const RECT& item, bool selected) {
    RECT text = item;
    text.left += kTextIndent;
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    DrawTextA(dc, entry.text, -1, &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    DrawTextA(dc, entry.accelerator, -1, &text, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    if (!entry.picture) return;
    BITMAP size{};
    GetObjectA(entry.picture, sizeof size, &size);
    MemoryDc source(CreateCompatibleDC(dc));
    SelectedObject picture(source.get(), entry.picture);
    BitBlt(dc, kPictureInset, item.top + kPictureInset, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
    if (selected) {
        RECT frame = square(item);
        DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    }
}

void drawCheck(HWND mainWindow, HDC dc, const RECT& item) {
    int x = item.left + kPictureInset;
    int y = item.top + kPictureInset;
    if (checkImages) {
        ImageList_Draw(checkImages, kCheckImage, dc, x, y, ILD_TRANSPARENT);
    } else {
        if (!checkIcon.valid())
            checkIcon.reset(static_cast<HICON>(LoadImageA(instanceOf(mainWindow), MAKEINTRESOURCEA(IDI_STATE_FINISHED),
                                                          IMAGE_ICON, 14, 14, 0)));
        if (checkIcon.valid()) DrawIconEx(dc, x, y, checkIcon.get(), 14, 14, 0, nullptr, DI_NORMAL);
    }
    RECT frame = square(item);
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
}

// The mnemonic of an entry text: the character after a single '&', upper-cased; 0 when none.
char mnemonicOf(const char* text) {
    for (const char* p = text; *p; ++p) {
        if (isLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '&') {
            if (p[1] == '&') {
                ++p;
                continue;
            }
            char c = p[1];
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    return 0;
}

}  // namespace

void makeMainMenuOwnerDrawn(HWND mainWindow) {
    HMENU menu = GetMenu(mainWindow);
    mainEntryCount = menu ? makeOwnerDrawn(menu, kMainMenuPictures, kMainCount, mainEntries) : 0;
    makeMenuFont();
}

void setMenuCheckImages(HIMAGELIST images) { checkImages = images; }

bool onMeasureMenuItem(HWND mainWindow, MEASUREITEMSTRUCT* measure) {
    if (measure->CtlType != ODT_MENU) return false;
    const OwnerDrawnEntry* entry = findEntry(measure->itemID);
    if (!entry) return false;
    if (!menuFont.valid()) makeMenuFont();
    char line[sizeof entry->text + sizeof entry->accelerator];
    copyText(line, textOf(entry->text));
    appendText(line, textOf(entry->accelerator));
    WindowDc dc(mainWindow);
    SelectedObject font(dc.get(), menuFont.get());
    RECT extent{};
    DrawTextA(dc.get(), line, -1, &extent, DT_SINGLELINE | DT_CALCRECT);
    measure->itemWidth = static_cast<UINT>(extent.right - extent.left + kTextIndent);
    measure->itemHeight = static_cast<UINT>(menuHeight > kMinimumHeight ? menuHeight : kMinimumHeight);
    return true;
}

bool onDrawMenuItem(HWND mainWindow, const DRAWITEMSTRUCT* draw) {
    if (draw->CtlType != ODT_MENU) return false;
    const OwnerDrawnEntry* entry = findEntry(draw->itemID);
    if (!entry) return false;
    HDC dc = draw->hDC;
    const RECT& item = draw->rcItem;
    bool selected = (draw->itemState & ODS_SELECTED) != 0;
    int back = selected ? COLOR_HIGHLIGHT : COLOR_MENU;
    FillRect(dc, &item, GetSysColorBrush(back));
    SetBkColor(dc, GetSysColor(back));
    SelectedObject font(dc, menuFont.get());
    if (draw->itemState & ODS_GRAYED)
        drawGrayed(dc, *entry, item, selected);
    else
        drawEnabled(dc, *entry, item, selected);
    if (draw->itemState & ODS_CHECKED) drawCheck(mainWindow, dc, item);
    return true;
}

bool onMenuChar(HWND, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HMENU menu = reinterpret_cast<HMENU>(lParam);
    char key = static_cast<char>(LOWORD(wParam));
    if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const OwnerDrawnEntry* entry = findEntry(GetMenuItemID(menu, position));
        if (entry && mnemonicOf(entry->text) == key) {
            *result = MAKELRESULT(position, MNC_EXECUTE);
            return true;
        }
    }
    return false;
}

void showItemPopup(HWND mainWindow, bool anyRowSelected) {
    MenuHandle menu(LoadMenuA(instanceOf(mainWindow), MENU_ITEM_POPUP));
    if (!menu.valid()) return;
    HMENU popup = GetSubMenu(menu.get(), 0);
    if (anyRowSelected)
        for (const MenuPicture& picture : kPopupPictures)
            EnableMenuItem(popup, static_cast<UINT>(picture.command), MF_BYCOMMAND | MF_ENABLED);
    popupEntryCount = makeOwnerDrawn(popup, kPopupPictures, kPopupCount, popupEntries);
    if (!menuFont.valid()) makeMenuFont();
    POINT cursor{};
    GetCursorPos(&cursor);
    popupTracking = true;
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, mainWindow, nullptr);
    popupTracking = false;
}

void setViewCheck(HWND mainWindow, int command, bool checked) {
    HMENU view = GetSubMenu(GetMenu(mainWindow), kViewMenuPosition);
    if (view) CheckMenuItem(view, static_cast<UINT>(command), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void destroyMenuResources() {
    menuFont.reset();
    checkIcon.reset();
    checkImages = nullptr;
}
