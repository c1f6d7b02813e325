// The program settings file (the executable's path with "ini"): window placement, pane sizes,
// columns, view switches, timers and fonts.
#pragma once
#include <cstdint>

constexpr int kListColumns = 7;

struct ProgramSettings {
    int32_t posX, posY, sizeX, sizeY;  // main window; sizeY without the 12-pixel status strip
    int32_t logHeight;                 // log pane height
    int32_t columnWidth[kListColumns];
    char columnName[kListColumns][40];  // read, never written
    int32_t flatToolBar, listGrid, statusWndFlag, flatTab;
    int32_t useExitTimer, windowsShutdown, timeHour, timeMinute, useAutoSave, autoSaveTime, useRasHangUp;
    int32_t listFontHeight, listFontWeight;  // fonts: read, never written
    char listFontName[32];
    int32_t tabFontHeight, tabFontWeight;
    char tabFontName[32];
};

// The values of this run; UI thread (the scheduler reads them while saving).
extern ProgramSettings programSettings;

// What a save takes from the windows at that moment.
struct WindowLayout {
    bool minimised;
    int32_t left, top, right, bottom;  // window rectangle, screen pixels
    int32_t logHeight;
    int32_t columnWidth[kListColumns];
};

// Reads every key with its default and read limit.
void loadProgramSettings(ProgramSettings& settings, const char* path);

// Writes the geometry (unless minimised), log height, column widths, view switches and timers.
// Column titles and fonts are never written. The file is replaced only after a complete write.
bool saveProgramSettings(const ProgramSettings& settings, const WindowLayout& layout, const char* path);
