#include "lists/program_settings.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct ProgramSettingsFile : ::testing::Test {
    TempFolder temp;
    std::string ini;
    void SetUp() override { ini = temp.path() + "quovar.ini"; }
    WindowLayout layout(bool minimised = false) {
        WindowLayout l{minimised, 10, 20, 410, 420, 150, {50, 60, 70, 80, 90, 100, 110}};
        return l;
    }
    int number(const char* section, const char* key) {
        return GetPrivateProfileIntA(section, key, -999, ini.c_str());
    }
};

TEST_F(ProgramSettingsFile, NoFileGivesTheDefaults) {
    ProgramSettings s{};
    loadProgramSettings(s, ini.c_str());
    EXPECT_EQ(s.posX, 114);
    EXPECT_EQ(s.posY, 288);
    EXPECT_EQ(s.sizeX, 641);
    EXPECT_EQ(s.sizeY, 308);
    EXPECT_EQ(s.logHeight, 100);
    EXPECT_EQ(s.columnWidth[6], 100);
    EXPECT_STREQ(s.columnName[0], "ファイル名");
    EXPECT_STREQ(s.columnName[6], "ＵＲＬ");
    EXPECT_EQ(s.statusWndFlag, 1);
    EXPECT_EQ(s.flatTab, 1);
    EXPECT_EQ(s.flatToolBar, 0);
    EXPECT_EQ(s.useExitTimer, 1);
    EXPECT_EQ(s.timeHour, 8);
    EXPECT_EQ(s.timeMinute, 0);
    EXPECT_EQ(s.useRasHangUp, 1);
    EXPECT_EQ(s.windowsShutdown, 0);
    EXPECT_EQ(s.useAutoSave, 0);
    EXPECT_EQ(s.autoSaveTime, 15);
    EXPECT_EQ(s.listFontHeight, 13);
    EXPECT_EQ(s.listFontWeight, 700);
    EXPECT_STREQ(s.listFontName, "ＭＳ Ｐゴシック");
    EXPECT_EQ(s.tabFontHeight, 12);
}

TEST_F(ProgramSettingsFile, ValuesAreReadWithTheirLimits) {
    writeFile(ini, "[TIMER]\r\ntimeHour=123456\r\nautoSaveTime=abc\r\n[listWINDOW]\r\nColumnName3=" +
                       std::string(60, 'n') + "\r\n");
    ProgramSettings s{};
    loadProgramSettings(s, ini.c_str());
    EXPECT_EQ(s.timeHour, 12345);
    EXPECT_EQ(s.autoSaveTime, 0);
    EXPECT_EQ(std::string(s.columnName[3]), std::string(39, 'n'));
}

TEST_F(ProgramSettingsFile, SaveWritesLayoutAndKeepsHandWrittenTitlesAndFonts) {
    writeFile(ini, "[listWINDOW]\r\nColumnName0=名前\r\n[listFONT]\r\nname=IPAGothic\r\nheight=20\r\n");
    ProgramSettings s{};
    loadProgramSettings(s, ini.c_str());
    s.timeHour = 23;
    s.flatToolBar = 1;
    ASSERT_TRUE(saveProgramSettings(s, layout(), ini.c_str()));
    EXPECT_EQ(number("WINDOW", "pos_x"), 10);
    EXPECT_EQ(number("WINDOW", "pos_y"), 20);
    EXPECT_EQ(number("WINDOW", "siz_x"), 400);
    EXPECT_EQ(number("WINDOW", "siz_y"), 388) << "the status strip's 12 pixels are not stored";
    EXPECT_EQ(number("logWINDOW", "siz_y"), 150);
    EXPECT_EQ(number("listWINDOW", "ColumnWidth6"), 110);
    EXPECT_EQ(number("TIMER", "timeHour"), 23);
    EXPECT_EQ(number("FLAG", "flatToolBar"), 1);
    ProgramSettings again{};
    loadProgramSettings(again, ini.c_str());
    EXPECT_STREQ(again.columnName[0], "名前");
    EXPECT_STREQ(again.listFontName, "IPAGothic");
    EXPECT_EQ(again.listFontHeight, 20);
    EXPECT_EQ(number("listWINDOW", "ColumnName1"), -999) << "titles are never written";
}

TEST_F(ProgramSettingsFile, MinimisedWindowLeavesTheGeometryAlone) {
    writeFile(ini, "[WINDOW]\r\npos_x=5\r\npos_y=6\r\nsiz_x=700\r\nsiz_y=500\r\n");
    ProgramSettings s{};
    loadProgramSettings(s, ini.c_str());
    s.statusWndFlag = 0;
    ASSERT_TRUE(saveProgramSettings(s, layout(true), ini.c_str()));
    EXPECT_EQ(number("WINDOW", "pos_x"), 5);
    EXPECT_EQ(number("WINDOW", "siz_y"), 500);
    EXPECT_EQ(number("FLAG", "statusWndFlag"), 0);
    ASSERT_TRUE(saveProgramSettings(s, layout(false), ini.c_str()));
    EXPECT_EQ(number("WINDOW", "siz_y"), 400) << "without the status strip the whole height is stored";
}

}  // namespace
