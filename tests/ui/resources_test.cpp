// The resources of the built quovar.exe: every numbered picture at the sizes the program asks for,
// drawn as the program's own, and the menus with the ids and texts of the command table.
#include "resources/resource.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A program of the build loaded as a data file; `relative` is its path from this test program's folder.
HMODULE loadBuilt(const char* relative) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string full(path, length);
    full.erase(full.find_last_of('\\') + 1);
    for (const char* p = relative; *p; ++p) full += (*p == '/') ? '\\' : *p;
    return LoadLibraryExA(full.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

HMODULE program() {
    static HMODULE module = loadBuilt(QUOVAR_PROGRAM_FROM_TESTS);
    return module;
}

const BYTE* resourceData(HMODULE module, LPCSTR type, LPCSTR name, DWORD* size = nullptr) {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return nullptr;
    if (size) *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

// The header of the image that an icon resource offers for a side of `side` pixels, or null when
// the icon has no image of exactly that size.
const BITMAPINFOHEADER* iconImage(int icon, int side) {
    const BYTE* group = resourceData(program(), RT_GROUP_ICON, MAKEINTRESOURCEA(icon));
    if (!group) return nullptr;
    int id = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group), TRUE, side, side, LR_DEFAULTCOLOR);
    auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(resourceData(program(), RT_ICON, MAKEINTRESOURCEA(id)));
    if (!header || header->biWidth != side || header->biHeight != 2 * side) return nullptr;
    return header;
}

// The colour pixels of an icon image, top row first, as 0xAARRGGBB.
std::vector<DWORD> iconPixels(const BITMAPINFOHEADER* header) {
    std::vector<DWORD> pixels;
    if (header->biBitCount != 32) return pixels;
    int side = header->biWidth;
    auto* bits = reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x) pixels.push_back(bits[y * side + x]);
    return pixels;
}

const BITMAPINFOHEADER* bitmapHeader(int bitmap) {
    return reinterpret_cast<const BITMAPINFOHEADER*>(resourceData(program(), RT_BITMAP, MAKEINTRESOURCEA(bitmap)));
}

struct IconUse {
    int first, last;
    std::vector<int> sides;
};

// Every icon the program loads, and the sides it loads them at (tabs: the tab font's default height
// 12; rows: the list font's 13 plus 1; disabled menu pictures: 14).
const IconUse kIconUses[] = {
    {IDI_PROGRAM, IDI_PROGRAM, {16, 32}},
    {IDI_PROGRAM_ABOUT, IDI_PROGRAM_ABOUT, {16, 32}},
    {IDI_TAB_IDLE, IDI_TAB_BUSY, {12, 14, 16}},
    {IDI_GRAY_SAVE_ALL, IDI_GRAY_CLOSE_TAB, {14, 16}},
    {IDI_STATE_IDLE, IDI_STATE_DELETE_REQUESTED, {14, 16}},
};

TEST(ProgramResources, Icons_EveryNumberHasAnImageOfEachSideItIsLoadedAt) {
    ASSERT_NE(program(), nullptr) << "quovar.exe not found next to the tests";
    for (const IconUse& use : kIconUses)
        for (int icon = use.first; icon <= use.last; ++icon)
            for (int side : use.sides) {
                const BITMAPINFOHEADER* image = iconImage(icon, side);
                ASSERT_NE(image, nullptr) << "icon " << icon << " at " << side;
                EXPECT_EQ(image->biBitCount, 32) << "icon " << icon;
                HANDLE loaded = LoadImageA(program(), MAKEINTRESOURCEA(icon), IMAGE_ICON, side, side,
                                           LR_CREATEDIBSECTION);
                EXPECT_NE(loaded, nullptr) << "icon " << icon << " at " << side;
                if (loaded) DestroyIcon(static_cast<HICON>(loaded));
            }
}

TEST(ProgramResources, Icons_StatePicturesAreSevenDifferentPictures) {
    std::set<std::vector<DWORD>> pictures;
    for (int icon = IDI_STATE_IDLE; icon <= IDI_STATE_DELETE_REQUESTED; ++icon) {
        const BITMAPINFOHEADER* image = iconImage(icon, 14);
        ASSERT_NE(image, nullptr);
        pictures.insert(iconPixels(image));
    }
    EXPECT_EQ(pictures.size(), 7u);
}

TEST(ProgramResources, Icons_DisabledPicturesAreGrayAndEachDiffers) {
    std::set<std::vector<DWORD>> pictures;
    for (int icon = IDI_GRAY_SAVE_ALL; icon <= IDI_GRAY_CLOSE_TAB; ++icon) {
        const BITMAPINFOHEADER* image = iconImage(icon, 14);
        ASSERT_NE(image, nullptr);
        std::vector<DWORD> pixels = iconPixels(image);
        int drawn = 0;
        for (DWORD p : pixels) {
            if ((p >> 24) == 0) continue;
            ++drawn;
            BYTE r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            EXPECT_TRUE(r == g && g == b) << "icon " << icon << " has a coloured pixel";
        }
        EXPECT_GT(drawn, 20) << "icon " << icon;
        pictures.insert(pixels);
    }
    EXPECT_EQ(pictures.size(), static_cast<size_t>(IDI_GRAY_CLOSE_TAB - IDI_GRAY_SAVE_ALL + 1));
}

TEST(ProgramResources, Bitmaps_ToolbarPicturesAre14PixelsWithAColourTable) {
    std::set<std::string> pictures;
    for (int bitmap = IDB_OPEN_FOLDER; bitmap <= IDB_CLOSE_TAB; ++bitmap) {
        DWORD size = 0;
        auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(
            resourceData(program(), RT_BITMAP, MAKEINTRESOURCEA(bitmap), &size));
        ASSERT_NE(header, nullptr) << "bitmap " << bitmap;
        EXPECT_EQ(header->biWidth, 14) << "bitmap " << bitmap;
        EXPECT_EQ(header->biHeight, 14) << "bitmap " << bitmap;
        // The 3-D colour mapping of LoadImage works only through a colour table.
        EXPECT_LE(header->biBitCount, 8) << "bitmap " << bitmap;
        pictures.insert(std::string(reinterpret_cast<const char*>(header), size));
    }
    EXPECT_EQ(pictures.size(), static_cast<size_t>(IDB_CLOSE_TAB - IDB_OPEN_FOLDER + 1));
}

TEST(ProgramResources, Bitmaps_CountdownPicturesLoadAt32Pixels) {
    for (int bitmap : {IDB_SHUTDOWN, IDB_HANG_UP}) {
        const BITMAPINFOHEADER* header = bitmapHeader(bitmap);
        ASSERT_NE(header, nullptr) << "bitmap " << bitmap;
        EXPECT_EQ(header->biWidth, 32);
        EXPECT_EQ(header->biHeight, 32);
    }
    for (int bitmap : {IDB_SHUTDOWN, IDB_HANG_UP, IDB_CONFIRM_CUT, IDB_CONFIRM_DELETE}) {
        HANDLE loaded = LoadImageA(program(), MAKEINTRESOURCEA(bitmap), IMAGE_BITMAP, 32, 32, LR_LOADMAP3DCOLORS);
        EXPECT_NE(loaded, nullptr) << "bitmap " << bitmap;
        if (loaded) DeleteObject(loaded);
    }
}

TEST(ProgramResources, Bitmaps_BackgroundBecomesTheButtonFace) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    for (int bitmap : {IDB_SHUTDOWN, IDB_OPEN_FOLDER, IDB_START, IDB_SETTINGS, IDB_CLOSE_TAB}) {
        int side = bitmap == IDB_SHUTDOWN ? 32 : 14;
        auto loaded = static_cast<HBITMAP>(
            LoadImageA(program(), MAKEINTRESOURCEA(bitmap), IMAGE_BITMAP, side, side, LR_LOADMAP3DCOLORS));
        ASSERT_NE(loaded, nullptr);
        HGDIOBJ previous = SelectObject(dc, loaded);
        EXPECT_EQ(GetPixel(dc, side - 1, side - 1), GetSysColor(COLOR_3DFACE)) << "bitmap " << bitmap;
        SelectObject(dc, previous);
        DeleteObject(loaded);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

std::string versionText(HMODULE module, const char* name) {
    DWORD size = 0;
    const BYTE* data = resourceData(module, RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO), &size);
    if (!data) return {};
    // VerQueryValueA wants a writable copy with room behind the block, where it puts the texts it
    // turns into the code page (GetFileVersionInfo allocates twice the size for that).
    std::vector<BYTE> copy(size * 3);
    std::copy(data, data + size, copy.begin());
    char* text = nullptr;
    UINT length = 0;
    std::string key = std::string("\\StringFileInfo\\041104B0\\") + name;
    return VerQueryValueA(copy.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) ? text : "";
}

// Both programs name themselves and the project's one version, and ask for no more rights than
// their user has and for the classic common controls.
TEST(ProgramResources, VersionAndManifest_OfBothPrograms) {
    for (auto [module, file] : {std::pair{program(), "quovar.exe"}, {loadBuilt(QUOVAR_TOOL_FROM_TESTS), "Drovik.exe"}}) {
        ASSERT_NE(module, nullptr) << file;
        EXPECT_EQ(versionText(module, "ProductName"), "Quovar") << file;
        EXPECT_EQ(versionText(module, "OriginalFilename"), file);
        EXPECT_EQ(versionText(module, "FileVersion"), QUOVAR_VERSION) << file;
        EXPECT_EQ(versionText(module, "ProductVersion"), QUOVAR_VERSION) << file;
        EXPECT_EQ(versionText(module, "CompanyName"), "") << file;
        DWORD size = 0;
        const BYTE* manifest = resourceData(module, RT_MANIFEST, MAKEINTRESOURCEA(1), &size);
        ASSERT_NE(manifest, nullptr) << file;
        std::string text(reinterpret_cast<const char*>(manifest), size);
        EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos) << file;
        EXPECT_NE(text.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos) << file;
        EXPECT_NE(text.find("version=\"" QUOVAR_VERSION ".0\""), std::string::npos) << file;
        EXPECT_EQ(text.find("Common-Controls"), std::string::npos) << file;
    }
}

TEST(ProgramResources, Dialogs_CountdownTemplateIsThere) {
    EXPECT_NE(resourceData(program(), RT_DIALOG, MAKEINTRESOURCEA(IDD_COUNTDOWN)), nullptr);
}

// --- Menus -------------------------------------------------------------------------------------

struct MenuEntry {
    int command;
    const char* menu;     // top-level menu
    const char* submenu;  // or null
    const char* text;
};

const MenuEntry kMainMenu[] = {
    {1100, "ファイル(&F)", nullptr, "設定、アイテムを保存(&S)"},
    {1112, "ファイル(&F)", nullptr, "新規アイテムを作成(&N)..."},
    {1130, "ファイル(&F)", "インポート(&I)", "ＵＲＬリスト(&U)"},
    {1131, "ファイル(&F)", "インポート(&I)", "ＣＲＣリスト(&C)"},
    {1140, "ファイル(&F)", "エクスポート(&E)", "ＵＲＬリスト(&U)"},
    {1141, "ファイル(&F)", "エクスポート(&E)", "ＣＲＣリスト(&C)"},
    {1190, "ファイル(&F)", nullptr, "終了(&x)"},
    {230, "編集(&E)", nullptr, "全てのＤＬ済みを削除(&F)"},
    {240, "編集(&E)", nullptr, "切り取り(&T)"},
    {241, "編集(&E)", nullptr, "コピー(&C)"},
    {242, "編集(&E)", nullptr, "貼り付け(&P)"},
    {243, "編集(&E)", nullptr, "削除(&D)"},
    {250, "編集(&E)", nullptr, "全て選択(&S)"},
    {200, "ダウンロード(&D)", nullptr, "選択アイテム開始(&S)"},
    {201, "ダウンロード(&D)", nullptr, "選択アイテム停止(&P)"},
    {202, "ダウンロード(&D)", nullptr, "選択アイテムすぐに開始(&Q)"},
    {204, "ダウンロード(&D)", nullptr, "選択アイテム上に移動(&U)"},
    {205, "ダウンロード(&D)", nullptr, "選択アイテム下に移動(&D)"},
    {206, "ダウンロード(&D)", nullptr, "全アイテム開始(&A)"},
    {207, "ダウンロード(&D)", nullptr, "全アイテム停止(&T)"},
    {208, "ダウンロード(&D)", nullptr, "保存フォルダを開く(&O)"},
    {310, "ツール(&T)", nullptr, "ＦＴＰファイル一覧の取得(&L)"},
    {400, "設定(&C)", nullptr, "ダウンロード(&T)..."},
    {401, "設定(&C)", nullptr, "プログラム(&P)..."},
    {460, "表示(&V)", nullptr, "フラットツールバー(&T)"},
    {464, "表示(&V)", nullptr, "フラットタブ(&F)"},
    {462, "表示(&V)", nullptr, "リストグリッド(&G)"},
    {463, "表示(&V)", nullptr, "サイズグリップ(&S)"},
    {500, "ヘルプ(&H)", nullptr, "トピックの検索(&H)..."},
    {510, "ヘルプ(&H)", nullptr, "バージョン(&A)..."},
};

struct FoundEntry {
    std::string menu, submenu, text;
    UINT state;
};

std::string itemText(HMENU menu, int position) {
    char text[128] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
    return text;
}

// Every command entry of `menu` and its submenus, by command id.
void walk(HMENU menu, const std::string& top, const std::string& sub, std::multimap<int, FoundEntry>& found) {
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
        ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info));
        if (info.fType & MFT_SEPARATOR) continue;
        if (info.hSubMenu)
            walk(info.hSubMenu, top, itemText(menu, position), found);
        else
            found.insert({static_cast<int>(info.wID), {top, sub, itemText(menu, position), info.fState}});
    }
}

TEST(ProgramMenus, MainMenu_TopLevelMenusInOrder) {
    HMENU menu = LoadMenuA(program(), MENU_MAIN);
    ASSERT_NE(menu, nullptr);
    const char* expected[] = {"ファイル(&F)", "編集(&E)", "ダウンロード(&D)", "ツール(&T)", "設定(&C)", "表示(&V)", "ヘルプ(&H)"};
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(itemText(menu, i), expected[i]) << "position " << i;
    DestroyMenu(menu);
}

TEST(ProgramMenus, MainMenu_EveryCommandOnceWithItsTextInItsMenu) {
    HMENU menu = LoadMenuA(program(), MENU_MAIN);
    ASSERT_NE(menu, nullptr);
    std::multimap<int, FoundEntry> found;
    for (int position = 0; position < GetMenuItemCount(menu); ++position)
        walk(GetSubMenu(menu, position), itemText(menu, position), "", found);
    for (const MenuEntry& entry : kMainMenu) {
        ASSERT_EQ(found.count(entry.command), 1u) << "command " << entry.command;
        const FoundEntry& item = found.find(entry.command)->second;
        EXPECT_EQ(item.text, entry.text) << "command " << entry.command;
        EXPECT_EQ(item.menu, entry.menu) << "command " << entry.command;
        EXPECT_EQ(item.submenu, entry.submenu ? entry.submenu : "") << "command " << entry.command;
        bool grayed = (item.state & MFS_GRAYED) != 0;
        EXPECT_EQ(grayed, entry.command == IDM_HELP_TOPICS) << "command " << entry.command;
    }
    EXPECT_EQ(found.size(), sizeof kMainMenu / sizeof kMainMenu[0]) << "the menu holds commands of its own";
    DestroyMenu(menu);
}

// A popup resource as (command or 0 for a separator, text, grayed) in order.
std::vector<std::tuple<int, std::string, bool>> popupEntries(const char* name) {
    std::vector<std::tuple<int, std::string, bool>> entries;
    HMENU menu = LoadMenuA(program(), name);
    if (!menu) return entries;
    HMENU popup = GetSubMenu(menu, 0);
    for (int position = 0; position < GetMenuItemCount(popup); ++position) {
        UINT state = GetMenuState(popup, static_cast<UINT>(position), MF_BYPOSITION);
        if (state & MF_SEPARATOR)
            entries.emplace_back(0, "", false);
        else
            entries.emplace_back(static_cast<int>(GetMenuItemID(popup, position)), itemText(popup, position),
                                 (state & MF_GRAYED) != 0);
    }
    DestroyMenu(menu);
    return entries;
}

TEST(ProgramMenus, ItemPopup_EntriesInOrderAllGrayed) {
    std::vector<std::tuple<int, std::string, bool>> expected = {
        {200, "開始(&S)", true},   {201, "停止(&P)", true},           {0, "", false},
        {202, "すぐに開始(&Q)", true}, {0, "", false},                 {241, "コピー(&C)", true},
        {243, "削除(&D)", true},   {0, "", false},                    {208, "フォルダを開く(&O)", true},
    };
    EXPECT_EQ(popupEntries(MENU_ITEM_POPUP), expected);
}

TEST(ProgramMenus, SettingsDropDown_DownloadAndProgramSettings) {
    std::vector<std::tuple<int, std::string, bool>> expected = {
        {400, "ダウンロード(&T)...", false},
        {401, "プログラム(&P)...", false},
    };
    EXPECT_EQ(popupEntries(MENU_SETTINGS_DROP_DOWN), expected);
}

}  // namespace
