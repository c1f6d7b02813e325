#include "common/program_paths.h"
#include "common/cp932.h"
#include "common/text.h"

ProgramPaths programPaths;

void formProgramPaths(ProgramPaths& paths, const char* exePath) {
    std::string_view exe = exePath;
    size_t slash = findLastChar(exe, '\\');
    std::string_view folder = slash == std::string_view::npos ? std::string_view{} : exe.substr(0, slash + 1);
    copyText(paths.programFolder, folder);

    size_t dot = exe.rfind('.');
    std::string_view stem = (dot == std::string_view::npos || dot < folder.size()) ? exe : exe.substr(0, dot + 1);
    copyText(paths.settingsPath, stem);
    if (stem.size() == exe.size()) appendText(paths.settingsPath, ".");
    appendText(paths.settingsPath, "ini");

    for (auto [dst, leaf] : {std::pair{paths.settingsFolder, "setting\\"}, std::pair{paths.downloadFolder, "download\\"},
                             std::pair{paths.linkPagePath, "EnumLinks.html"}}) {
        copyText(dst, 260, folder);
        appendText(dst, 260, leaf);
    }
}
