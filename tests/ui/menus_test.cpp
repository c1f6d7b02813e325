// Owner-drawn menus on a stand-in main window: which entries become owner-drawn, how they are
// measured and drawn in each state, the view check marks, mnemonics, and the item popup.
#include "resources/resource.h"
#include "tests/ui/test_window.h"
#include "ui/owner_menus.h"
#include "ui/toolbar.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <vector>

namespace {

// The main menu entries that carry pictures or check marks.
const int kOwnerDrawn[] = {200, 201, 202, 204, 205, 206, 207, 208, 460, 462, 463, 464,
                           1112, 230, 240, 241, 242, 243, 250, 400, 1100, 401};

bool isOwnerDrawn(HMENU menu, int command) {
    return (GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND) & MF_OWNERDRAW) != 0;
}

int menuHeight() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    return metrics.iMenuHeight;
}

// A 32-bit canvas of one menu entry, drawn through onDrawMenuItem.
struct DrawnEntry {
    static constexpr int kWidth = 240;
    int height = 0;
    HDC dc = nullptr;
    HBITMAP canvas = nullptr;
    HGDIOBJ previous = nullptr;
    bool handled = false;

    DrawnEntry(HWND window, int command, UINT state) {
        height = menuHeight() > 18 ? menuHeight() : 18;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, canvas);
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_MENU;
        draw.itemID = static_cast<UINT>(command);
        draw.itemAction = ODA_DRAWENTIRE;
        draw.itemState = state;
        draw.hDC = dc;
        draw.rcItem = {0, 0, kWidth, height};
        handled = onDrawMenuItem(window, &draw);
    }
    ~DrawnEntry() {
        SelectObject(dc, previous);
        DeleteObject(canvas);
        DeleteDC(dc);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
    int count(int left, int top, int right, int bottom, const std::function<bool(COLORREF)>& is) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (is(at(x, y))) ++n;
        return n;
    }
    int countColour(int left, int top, int right, int bottom, COLORREF colour) const {
        return count(left, top, right, bottom, [colour](COLORREF c) { return c == colour; });
    }
    // The 14-pixel picture sits at (2, 2); the text starts 22 pixels in.
    int inPicture(COLORREF colour) const { return countColour(2, 2, 16, 16, colour); }
    int inText(COLORREF colour) const { return countColour(22, 0, kWidth, height, colour); }
};

bool reddish(COLORREF c) { return GetRValue(c) > GetGValue(c) + 60 && GetRValue(c) > GetBValue(c) + 60; }
bool greenish(COLORREF c) { return GetGValue(c) > GetRValue(c) + 40 && GetGValue(c) > GetBValue(c) + 40; }

struct Menus : ::testing::Test {
    TestWindow main;
    HMENU menu = nullptr;
    void SetUp() override {
        ASSERT_NE(main.window, nullptr);
        ASSERT_NE(createToolbar(main.window), nullptr);
        menu = GetMenu(main.window);
        ASSERT_NE(menu, nullptr);
        measuredEntries.clear();
    }
    void TearDown() override {
        setMenuCheckImages(nullptr);
        destroyMenuResources();
    }
    UINT measure(int command) {
        MEASUREITEMSTRUCT m{};
        m.CtlType = ODT_MENU;
        m.itemID = static_cast<UINT>(command);
        if (!onMeasureMenuItem(main.window, &m)) return 0;
        return m.itemWidth;
    }
};

TEST_F(Menus, MainMenu_PicturedAndViewEntriesBecomeOwnerDrawnKeepingTheirState) {
    EnableMenuItem(menu, IDM_DELETE, MF_BYCOMMAND | MF_GRAYED);
    CheckMenuItem(menu, IDM_LIST_GRID, MF_BYCOMMAND | MF_CHECKED);
    makeMainMenuOwnerDrawn(main.window);
    for (int command : kOwnerDrawn) EXPECT_TRUE(isOwnerDrawn(menu, command)) << command;
    for (int command : {1190, 1130, 1131, 1140, 1141, 310, 500, 510}) {
        EXPECT_FALSE(isOwnerDrawn(menu, command)) << command;
        char text[64] = {};
        EXPECT_GT(GetMenuStringA(menu, static_cast<UINT>(command), text, sizeof text, MF_BYCOMMAND), 0) << command;
    }
    EXPECT_TRUE(GetMenuState(menu, IDM_DELETE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, IDM_LIST_GRID, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(menu, IDM_HELP_TOPICS, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, IDM_PASTE, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(Menus, Measure_MenuHeightAtLeast18AndWidthFromTheEntrysText) {
    makeMainMenuOwnerDrawn(main.window);
    int expectedHeight = menuHeight() > 18 ? menuHeight() : 18;
    for (int command : kOwnerDrawn) {
        MEASUREITEMSTRUCT m{};
        m.CtlType = ODT_MENU;
        m.itemID = static_cast<UINT>(command);
        ASSERT_TRUE(onMeasureMenuItem(main.window, &m)) << command;
        EXPECT_EQ(static_cast<int>(m.itemHeight), expectedHeight) << command;
        EXPECT_GT(m.itemWidth, 22u + 20u) << command;
    }
    // The text was taken from the menu before the entry lost it.
    EXPECT_GT(measure(IDM_START_AT_ONCE), measure(IDM_COPY) + 40);
    // "Alt+↑" widens the entry beyond its text alone, which is as long as 全アイテム開始(&A)'s plus two characters.
    EXPECT_GT(measure(IDM_MOVE_UP), measure(IDM_START_ALL) + 30);
    EXPECT_EQ(measure(IDM_EXIT), 0u) << "entries without a picture record are not measured";
}

TEST_F(Menus, Draw_EnabledEntryShowsItsPictureAndARaisedFrameWhenSelected) {
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry plain(main.window, IDM_STOP, 0);
    ASSERT_TRUE(plain.handled);
    EXPECT_GT(plain.count(2, 2, 16, 16, reddish), 40) << "the red stop picture";
    EXPECT_EQ(plain.at(plain.kWidth - 1, 1), GetSysColor(COLOR_MENU));
    EXPECT_GT(plain.inText(GetSysColor(COLOR_MENUTEXT)), 20);
    EXPECT_NE(plain.at(17, 17), GetSysColor(COLOR_3DDKSHADOW));

    DrawnEntry selected(main.window, IDM_STOP, ODS_SELECTED);
    EXPECT_EQ(selected.at(selected.kWidth - 1, 1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_GT(selected.count(2, 2, 16, 16, reddish), 40);
    EXPECT_GT(selected.inText(GetSysColor(COLOR_MENUTEXT)), 20);
    EXPECT_EQ(selected.at(17, 17), GetSysColor(COLOR_3DDKSHADOW)) << "raised frame, bottom right";
    EXPECT_EQ(selected.at(0, 0), GetSysColor(COLOR_3DLIGHT)) << "raised frame, top left";
}

TEST_F(Menus, Draw_DisabledEntryIsEmbossedTextAndPicture) {
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry gray(main.window, IDM_DELETE, ODS_GRAYED);
    ASSERT_TRUE(gray.handled);
    EXPECT_EQ(gray.count(2, 2, 16, 16, reddish), 0) << "no colour in a disabled picture";
    EXPECT_GT(gray.inPicture(GetSysColor(COLOR_3DSHADOW)), 10);
    EXPECT_GT(gray.inPicture(GetSysColor(COLOR_3DHILIGHT)), 10);
    EXPECT_GT(gray.inText(GetSysColor(COLOR_3DSHADOW)), 20);
    EXPECT_GT(gray.inText(GetSysColor(COLOR_3DHILIGHT)), 20);
    EXPECT_EQ(gray.inText(GetSysColor(COLOR_MENUTEXT)), 0);
}

TEST_F(Menus, Draw_DisabledAcceleratorIsEmbossedAtTheRightEnd) {
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry gray(main.window, IDM_MOVE_UP, ODS_GRAYED);
    EXPECT_GT(gray.countColour(gray.kWidth - 40, 0, gray.kWidth, gray.height, GetSysColor(COLOR_3DSHADOW)), 10);
}

TEST_F(Menus, Draw_DisabledSelectedEntryIsGrayTextAndAMonochromePicture) {
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry gray(main.window, IDM_DELETE, ODS_GRAYED | ODS_SELECTED);
    EXPECT_EQ(gray.at(gray.kWidth - 1, 1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_GT(gray.inPicture(GetSysColor(COLOR_GRAYTEXT)), 10);
    EXPECT_EQ(gray.count(2, 2, 16, 16, reddish), 0);
    EXPECT_GT(gray.inText(GetSysColor(COLOR_GRAYTEXT)), 20);
}

TEST_F(Menus, Draw_CheckedViewEntryShowsTheCheckImageInASunkenSquare) {
    // The item list's small images: the row icons of states 0 to 6, image 3 the Finished tick.
    HIMAGELIST rows = ImageList_Create(14, 14, ILC_COLOR16 | ILC_MASK, 7, 0);
    for (int icon = IDI_STATE_IDLE; icon <= IDI_STATE_DELETE_REQUESTED; ++icon) {
        auto picture = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON, 14, 14, 0));
        ImageList_AddIcon(rows, picture);
        DestroyIcon(picture);
    }
    setMenuCheckImages(rows);
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry checked(main.window, IDM_FLAT_TOOLBAR, ODS_CHECKED);
    ASSERT_TRUE(checked.handled);
    EXPECT_TRUE(greenish(checked.at(2 + 1, 2 + 5))) << "the short stroke of the tick";
    EXPECT_EQ(checked.at(0, 0), GetSysColor(COLOR_3DSHADOW)) << "sunken square, top left";
    EXPECT_EQ(checked.at(17, 17), GetSysColor(COLOR_3DHILIGHT)) << "sunken square, bottom right";

    DrawnEntry unchecked(main.window, IDM_FLAT_TOOLBAR, 0);
    EXPECT_EQ(unchecked.count(0, 0, 18, 18, greenish), 0);
    setMenuCheckImages(nullptr);
    ImageList_Destroy(rows);
}

TEST_F(Menus, Draw_CheckWithoutTheListsImagesUsesTheFinishedIcon) {
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry checked(main.window, IDM_LIST_GRID, ODS_CHECKED);
    EXPECT_TRUE(greenish(checked.at(2 + 1, 2 + 5)));
}

TEST_F(Menus, Draw_OtherEntriesAndControlsAreLeftAlone) {
    makeMainMenuOwnerDrawn(main.window);
    DrawnEntry exit(main.window, IDM_EXIT, 0);
    EXPECT_FALSE(exit.handled);
    DRAWITEMSTRUCT button{};
    button.CtlType = ODT_BUTTON;
    button.itemID = IDM_START;
    EXPECT_FALSE(onDrawMenuItem(main.window, &button));
}

TEST_F(Menus, ViewCheck_SetsAndClearsTheMarkOfTheViewMenuEntry) {
    makeMainMenuOwnerDrawn(main.window);
    HMENU view = GetSubMenu(menu, 5);
    for (int command : {IDM_FLAT_TOOLBAR, IDM_FLAT_TAB, IDM_LIST_GRID, IDM_SIZE_GRIP}) {
        setViewCheck(main.window, command, true);
        EXPECT_TRUE(GetMenuState(view, static_cast<UINT>(command), MF_BYCOMMAND) & MF_CHECKED) << command;
        setViewCheck(main.window, command, false);
        EXPECT_FALSE(GetMenuState(view, static_cast<UINT>(command), MF_BYCOMMAND) & MF_CHECKED) << command;
        EXPECT_TRUE(isOwnerDrawn(view, command)) << command;
    }
}

TEST_F(Menus, MenuChar_TheMnemonicOfAnOwnerDrawnEntryChoosesIt) {
    makeMainMenuOwnerDrawn(main.window);
    HMENU download = GetSubMenu(menu, 2);
    LRESULT result = 0;
    ASSERT_TRUE(onMenuChar(main.window, MAKEWPARAM('q', MF_POPUP), reinterpret_cast<LPARAM>(download), &result));
    EXPECT_EQ(HIWORD(result), MNC_EXECUTE);
    EXPECT_EQ(GetMenuItemID(download, LOWORD(result)), static_cast<UINT>(IDM_START_AT_ONCE));
    ASSERT_TRUE(onMenuChar(main.window, MAKEWPARAM('D', MF_POPUP), reinterpret_cast<LPARAM>(download), &result));
    EXPECT_EQ(GetMenuItemID(download, LOWORD(result)), static_cast<UINT>(IDM_MOVE_DOWN));
    EXPECT_FALSE(onMenuChar(main.window, MAKEWPARAM('Z', MF_POPUP), reinterpret_cast<LPARAM>(download), &result));
}

struct SeenPopup {
    std::vector<int> commands;
    std::vector<bool> grayed;
    std::vector<bool> ownerDrawn;
};

SeenPopup showPopupAndLook(HWND window, bool anyRowSelected) {
    SeenPopup seen;
    callLater(300, [&] {
        HWND menuWindow = findOwnWindow("#32768");
        if (!menuWindow) return;
        auto popup = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            UINT state = GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION);
            if (state & MF_SEPARATOR) continue;
            seen.commands.push_back(static_cast<int>(GetMenuItemID(popup, i)));
            seen.grayed.push_back((state & MF_GRAYED) != 0);
            seen.ownerDrawn.push_back((state & MF_OWNERDRAW) != 0);
        }
        EndMenu();
    });
    showItemPopup(window, anyRowSelected);
    return seen;
}

TEST(ItemPopup, EntriesAreGrayedUntilARowIsSelected) {
    TestWindow main(true);
    ASSERT_NE(createToolbar(main.window), nullptr);
    SeenPopup none = showPopupAndLook(main.window, false);
    EXPECT_EQ(none.commands, (std::vector<int>{200, 201, 202, 241, 243, 208}));
    EXPECT_EQ(none.grayed, std::vector<bool>(6, true));
    EXPECT_EQ(none.ownerDrawn, std::vector<bool>(6, true));

    SeenPopup some = showPopupAndLook(main.window, true);
    EXPECT_EQ(some.commands, (std::vector<int>{200, 201, 202, 241, 243, 208}));
    EXPECT_EQ(some.grayed, std::vector<bool>(6, false));
    destroyMenuResources();
}

TEST(ItemPopup, EntriesAreMeasuredWithThePopupsOwnTexts) {
    TestWindow main(true);
    ASSERT_NE(createToolbar(main.window), nullptr);
    makeMainMenuOwnerDrawn(main.window);
    measuredEntries.clear();
    showPopupAndLook(main.window, true);
    UINT popupStart = 0;
    for (const MeasuredEntry& entry : measuredEntries)
        if (entry.command == IDM_START) popupStart = entry.width;
    ASSERT_GT(popupStart, 0u) << "the popup's entries were not measured as owner-drawn";

    // Afterwards the main menu's records answer again: 選択アイテム開始(&S) is wider than 開始(&S).
    MEASUREITEMSTRUCT m{};
    m.CtlType = ODT_MENU;
    m.itemID = IDM_START;
    ASSERT_TRUE(onMeasureMenuItem(main.window, &m));
    EXPECT_GT(m.itemWidth, popupStart + 30);
    destroyMenuResources();
}

}  // namespace
