// The toolbar on a hidden stand-in main window: buttons, separators, pictures, tooltips, the
// drop-down settings button and the switches the main window uses.
#include "resources/resource.h"
#include "tests/ui/test_window.h"
#include "ui/toolbar.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

namespace {

struct ExpectedButton {
    int command;
    const char* tooltip;
};

const ExpectedButton kButtons[] = {
    {208, "保存フォルダを開く"},
    {1100, "設定、アイテムを保存"},
    {1112, "新規アイテムを作成..."},
    {260, "アイテムの編集..."},
    {240, "切り取り"},
    {241, "コピー"},
    {242, "貼り付け"},
    {243, "削除"},
    {230, "全てのＤＬ済みアイテム削除"},
    {200, "選択アイテム開始"},
    {201, "選択アイテム停止"},
    {204, "選択アイテム上へ移動"},
    {205, "選択アイテム下へ移動"},
    {206, "全てのアイテム開始"},
    {207, "全てのアイテム停止"},
    {400, "設定..."},
    {1110, "新規タブ作成"},
    {1111, "選択タブ破棄"},
};

struct Toolbar : ::testing::Test {
    TestWindow main;
    HWND toolbar = nullptr;
    void SetUp() override {
        ASSERT_NE(main.window, nullptr);
        toolbar = createToolbar(main.window);
        ASSERT_NE(toolbar, nullptr);
        SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    }
    TBBUTTON button(int index) {
        TBBUTTON b{};
        SendMessageA(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b));
        return b;
    }
};

TEST_F(Toolbar, Buttons_EighteenWithEightSeparatorsInTheirPlaces) {
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 26);
    std::vector<int> bar;
    for (int i = 0; i < 26; ++i) {
        TBBUTTON b = button(i);
        bar.push_back((b.fsStyle & BTNS_SEP) ? 0 : b.idCommand);
    }
    std::vector<int> expected = {208, 1100, 1112, 0,   260, 0,   240, 241, 242, 0,   243, 230, 0,
                                 200, 201,  0,    204, 205, 0,   206, 207, 0,   400, 0,   1110, 1111};
    EXPECT_EQ(bar, expected);
    EXPECT_EQ(GetDlgCtrlID(toolbar), IDC_TOOLBAR);
}

TEST_F(Toolbar, Buttons_AllStartEnabledAndOnlySettingsDropsDown) {
    for (const ExpectedButton& expected : kButtons) {
        EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, expected.command, 0)) << expected.command;
        TBBUTTONINFOA info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_STYLE;
        SendMessageA(toolbar, TB_GETBUTTONINFOA, expected.command, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ((info.fsStyle & BTNS_DROPDOWN) != 0, expected.command == IDM_DOWNLOAD_SETTINGS) << expected.command;
    }
    EXPECT_TRUE(SendMessageA(toolbar, TB_GETEXTENDEDSTYLE, 0, 0) & TBSTYLE_EX_DRAWDDARROWS);
}

TEST_F(Toolbar, Pictures_EachButtonShowsItsOwn14PixelPicture) {
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 18);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 14);
    EXPECT_EQ(cy, 14);
    int index = 0;
    for (int i = 0; i < 26; ++i) {
        TBBUTTON b = button(i);
        if (b.fsStyle & BTNS_SEP) continue;
        EXPECT_EQ(b.iBitmap, index++) << "button " << b.idCommand;
    }
}

// Draws image `index` of the bar's image list on white and counts the pixels that `is` accepts.
template <typename Test> int countPixels(HWND toolbar, int index, Test is) {
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 14, 14);
    HGDIOBJ previous = SelectObject(dc, canvas);
    RECT all{0, 0, 14, 14};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    int count = 0;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (is(GetRValue(c), GetGValue(c), GetBValue(c))) ++count;
        }
    SelectObject(dc, previous);
    DeleteObject(canvas);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return count;
}

TEST_F(Toolbar, Pictures_StartIsGreenStopIsRedUpIsBlue) {
    auto green = [](int r, int g, int b) { return g > r + 60 && g > b + 60; };
    auto red = [](int r, int g, int b) { return r > g + 60 && r > b + 60; };
    auto blue = [](int r, int g, int b) { return b > r + 60 && b > g + 60; };
    EXPECT_GT(countPixels(toolbar, 9, green), 20);
    EXPECT_GT(countPixels(toolbar, 10, red), 40);
    EXPECT_GT(countPixels(toolbar, 11, blue), 30);
    EXPECT_EQ(countPixels(toolbar, 10, green), 0);
}

TEST_F(Toolbar, PictureSlots_MenuPicturesAndGrayPicturesAreLoaded) {
    for (int slot = 0; slot <= 18; ++slot) EXPECT_NE(pictureOfSlot(slot), nullptr) << "slot " << slot;
    EXPECT_EQ(pictureOfSlot(19), nullptr);
    EXPECT_EQ(pictureOfSlot(20), nullptr);
    for (int slot = 0; slot < kPictureSlotCount; ++slot) {
        bool none = slot == 0 || slot == 15 || slot == 19 || slot == 20;
        EXPECT_EQ(grayPictureOfSlot(slot) == nullptr, none) << "slot " << slot;
    }
    BITMAP size{};
    GetObjectA(pictureOfSlot(18), sizeof size, &size);
    EXPECT_EQ(size.bmWidth, 14);
    EXPECT_EQ(size.bmHeight, 14);
}

// The pixels of a picture that are dark enough to stay in its gray version, drawn on the button face.
std::vector<bool> darkPixels(HBITMAP picture, HICON icon) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 14, 14);
    HGDIOBJ previous = SelectObject(dc, canvas);
    RECT all{0, 0, 14, 14};
    FillRect(dc, &all, GetSysColorBrush(COLOR_3DFACE));
    if (picture) {
        HDC source = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(source, picture);
        BitBlt(dc, 0, 0, 14, 14, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    } else {
        DrawIconEx(dc, 0, 0, icon, 14, 14, 0, nullptr, DI_NORMAL);
    }
    std::vector<bool> dark;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            dark.push_back(GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114 < 160000);
        }
    SelectObject(dc, previous);
    DeleteObject(canvas);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return dark;
}

TEST_F(Toolbar, PictureSlots_EachGrayPictureHasTheShapeOfItsSlotsPicture) {
    for (int slot = 0; slot < kPictureSlotCount; ++slot) {
        if (!grayPictureOfSlot(slot)) continue;
        EXPECT_EQ(darkPixels(nullptr, grayPictureOfSlot(slot)), darkPixels(pictureOfSlot(slot), nullptr))
            << "slot " << slot;
    }
}

std::string tooltipText(HWND tooltips, HWND toolbar, int command) {
    char text[256] = {};
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = toolbar;
    tool.uId = static_cast<UINT_PTR>(command);
    tool.lpszText = text;
    SendMessageA(tooltips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST_F(Toolbar, Tooltips_EachButtonHasItsText) {
    auto tooltips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tooltips, nullptr);
    EXPECT_EQ(SendMessageA(tooltips, TTM_GETTOOLCOUNT, 0, 0), 18);
    for (const ExpectedButton& expected : kButtons)
        EXPECT_EQ(tooltipText(tooltips, toolbar, expected.command), expected.tooltip) << expected.command;
    EXPECT_EQ(SendMessageA(tooltips, TTM_GETMAXTIPWIDTH, 0, 0), 240);
}

TEST_F(Toolbar, Tooltips_FollowTheButtonsThatTheSeparatorsMoved) {
    auto tooltips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tooltips, nullptr);
    for (const ExpectedButton& expected : kButtons) {
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = toolbar;
        tool.uId = static_cast<UINT_PTR>(expected.command);
        ASSERT_TRUE(SendMessageA(tooltips, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)));
        RECT button{};
        SendMessageA(toolbar, TB_GETRECT, expected.command, reinterpret_cast<LPARAM>(&button));
        EXPECT_TRUE(EqualRect(&tool.rect, &button)) << expected.command << ": tool at " << tool.rect.left
                                                    << ", button at " << button.left;
    }
}

TEST_F(Toolbar, Flat_SwitchingTwiceRestoresTheStyle) {
    LONG_PTR before = GetWindowLongPtrA(toolbar, GWL_STYLE);
    setToolbarFlat(toolbar, true);
    EXPECT_TRUE(GetWindowLongPtrA(toolbar, GWL_STYLE) & TBSTYLE_FLAT);
    setToolbarFlat(toolbar, false);
    EXPECT_EQ(GetWindowLongPtrA(toolbar, GWL_STYLE), before & ~static_cast<LONG_PTR>(TBSTYLE_FLAT));
}

TEST_F(Toolbar, Enable_DisablesOnlyTheButtonOfTheCommand) {
    enableToolbarButton(toolbar, IDM_DELETE, false);
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, IDM_DELETE, 0));
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, IDM_DELETE_FINISHED, 0));
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, IDM_PASTE, 0));
    enableToolbarButton(toolbar, IDM_DELETE, true);
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, IDM_DELETE, 0));
}

TEST(ToolbarDropDown, SettingsMenuOpensBelowTheButton) {
    TestWindow main(true);
    HWND toolbar = createToolbar(main.window);
    ASSERT_NE(toolbar, nullptr);
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    RECT button{};
    SendMessageA(toolbar, TB_GETRECT, IDM_DOWNLOAD_SETTINGS, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&button), 2);

    RECT shown{};
    std::vector<int> commands;
    callLater(300, [&] {
        HWND menuWindow = findOwnWindow("#32768");
        if (!menuWindow) return;
        GetWindowRect(menuWindow, &shown);
        auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) commands.push_back(static_cast<int>(GetMenuItemID(menu, i)));
        EndMenu();
    });
    NMTOOLBARA notice{};
    notice.hdr.hwndFrom = toolbar;
    notice.hdr.idFrom = IDC_TOOLBAR;
    notice.hdr.code = TBN_DROPDOWN;
    notice.iItem = IDM_DOWNLOAD_SETTINGS;
    showSettingsDropDown(main.window, toolbar, &notice);

    EXPECT_EQ(commands, (std::vector<int>{IDM_DOWNLOAD_SETTINGS, IDM_PROGRAM_SETTINGS}));
    EXPECT_EQ(shown.left, button.left);
    EXPECT_EQ(shown.top, button.bottom);
}

}  // namespace
