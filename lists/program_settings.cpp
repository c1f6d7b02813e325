#include "lists/program_settings.h"
#include "common/text.h"
#include "lists/profile_file.h"
#include <string>

ProgramSettings programSettings;

namespace {

constexpr const char* kColumnTitles[kListColumns] = {"ファイル名", "サイズ", "取得済", "残り", "速度", "回数", "ＵＲＬ"};

int32_t readNumber(const char* path, const char* section, const char* key, const char* fallback) {
    return readProfileInt(path, section, key, fallback, 5);
}

std::string keyWithIndex(const char* key, int i) { return key + std::to_string(i); }

}  // namespace

void loadProgramSettings(ProgramSettings& s, const char* path) {
    s.posX = readNumber(path, "WINDOW", "pos_x", "114");
    s.posY = readNumber(path, "WINDOW", "pos_y", "288");
    s.sizeX = readNumber(path, "WINDOW", "siz_x", "641");
    s.sizeY = readNumber(path, "WINDOW", "siz_y", "308");
    s.logHeight = readNumber(path, "logWINDOW", "siz_y", "100");
    for (int i = 0; i < kListColumns; ++i) {
        s.columnWidth[i] = readNumber(path, "listWINDOW", keyWithIndex("ColumnWidth", i).c_str(), "100");
        copyText(s.columnName[i],
                 readProfileText(path, "listWINDOW", keyWithIndex("ColumnName", i).c_str(), kColumnTitles[i], 39));
    }
    s.flatToolBar = readNumber(path, "FLAG", "flatToolBar", "0");
    s.listGrid = readNumber(path, "FLAG", "listGrid", "0");
    s.statusWndFlag = readNumber(path, "FLAG", "statusWndFlag", "1");
    s.flatTab = readNumber(path, "FLAG", "flatTab", "1");
    s.useExitTimer = readNumber(path, "TIMER", "useExitTimer", "1");
    s.windowsShutdown = readNumber(path, "TIMER", "windowsShutdown", "0");
    s.timeHour = readNumber(path, "TIMER", "timeHour", "8");
    s.timeMinute = readNumber(path, "TIMER", "timeMinute", "0");
    s.useAutoSave = readNumber(path, "TIMER", "useAutoSave", "0");
    s.autoSaveTime = readNumber(path, "TIMER", "autoSaveTime", "15");
    s.useRasHangUp = readNumber(path, "TIMER", "useRasHangUp", "1");
    s.listFontHeight = readNumber(path, "listFONT", "height", "13");
    s.listFontWeight = readNumber(path, "listFONT", "weight", "700");
    copyText(s.listFontName, readProfileText(path, "listFONT", "name", "ＭＳ Ｐゴシック", 31));
    s.tabFontHeight = readNumber(path, "tabFONT", "height", "12");
    s.tabFontWeight = readNumber(path, "tabFONT", "weight", "700");
    copyText(s.tabFontName, readProfileText(path, "tabFONT", "name", "ＭＳ Ｐゴシック", 31));
}

bool saveProgramSettings(const ProgramSettings& s, const WindowLayout& layout, const char* path) {
    return rewriteProfile(path, [&](const char* f) {
        bool ok = true;
        if (!layout.minimised) {
            int32_t height = layout.bottom - layout.top - (s.statusWndFlag == 1 ? 12 : 0);
            ok = writeProfileInt(f, "WINDOW", "pos_x", layout.left) &&
                 writeProfileInt(f, "WINDOW", "pos_y", layout.top) &&
                 writeProfileInt(f, "WINDOW", "siz_x", layout.right - layout.left) &&
                 writeProfileInt(f, "WINDOW", "siz_y", height);
        }
        ok = ok && writeProfileInt(f, "logWINDOW", "siz_y", layout.logHeight);
        for (int i = 0; ok && i < kListColumns; ++i)
            ok = writeProfileInt(f, "listWINDOW", keyWithIndex("ColumnWidth", i).c_str(), layout.columnWidth[i]);
        return ok && writeProfileInt(f, "FLAG", "flatToolBar", s.flatToolBar) &&
               writeProfileInt(f, "FLAG", "listGrid", s.listGrid) &&
               writeProfileInt(f, "FLAG", "statusWndFlag", s.statusWndFlag) &&
               writeProfileInt(f, "FLAG", "flatTab", s.flatTab) &&
               writeProfileInt(f, "TIMER", "useExitTimer", s.useExitTimer) &&
               writeProfileInt(f, "TIMER", "windowsShutdown", s.windowsShutdown) &&
               writeProfileInt(f, "TIMER", "timeHour", s.timeHour) &&
               writeProfileInt(f, "TIMER", "timeMinute", s.timeMinute) &&
               writeProfileInt(f, "TIMER", "useAutoSave", s.useAutoSave) &&
               writeProfileInt(f, "TIMER", "autoSaveTime", s.autoSaveTime) &&
               writeProfileInt(f, "TIMER", "useRasHangUp", s.useRasHangUp);
    });
}
