#include "engine/folder_create.h"
#include "common/cp932.h"
#include <string>
#include <windows.h>

namespace {
bool isFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

int createFolderPath(const char* path) {
    std::string_view text = path;
    // The levels end at each backslash that is a character of its own, and at the end of the path.
    std::string_view::size_type firstSeparator = std::string_view::npos;
    for (size_t i = 0; i < text.size(); i += charLength(text, i)) {
        if (text[i] != '\\' || charLength(text, i) != 1) continue;
        if (i + 1 == text.size()) break;  // a final backslash ends the last level, it does not split
        if (firstSeparator == std::string_view::npos) {
            firstSeparator = i;
            continue;
        }
        std::string level(text.substr(0, i));
        if (!isFolder(level) && !CreateDirectoryA(level.c_str(), nullptr) && !isFolder(level)) return 0;
    }
    // Without a backslash in the middle there is no parent to create the folder in.
    if (firstSeparator == std::string_view::npos) return 0;
    // A failed creation still succeeds when another thread made the folder meanwhile, but not when
    // a file of that name stands in the way.
    std::string whole(text);
    return (isFolder(whole) || CreateDirectoryA(whole.c_str(), nullptr) || isFolder(whole)) ? 1 : 0;
}
