// The fixed paths, formed once at start from the executable's own folder (trailing backslash kept).
#pragma once

struct ProgramPaths {
    char programFolder[260];   // folder of the executable, with its trailing backslash
    char settingsPath[260];    // program settings file: the executable's path with "ini"
    char settingsFolder[260];  // programFolder + "setting\"
    char downloadFolder[260];  // programFolder + "download\": the default save folder
    char linkPagePath[260];    // programFolder + "EnumLinks.html"
};

// Written once by the entry point (UI thread) before any other thread exists; read-only afterwards.
extern ProgramPaths programPaths;

// Fills every path from the executable's full path.
void formProgramPaths(ProgramPaths& paths, const char* exePath);
