#include "common/folder_create.h"
#include "common/cp932.h"
#include <string>
#include <windows.h>

namespace {
bool isFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Length of the start of `text` that is never created: "X:\" of a drive, "\\server\share\" of a
// network path (the share's root exists or cannot be made by us at all); 0 for any other path.
size_t rootLength(std::string_view text) {
    if (text.size() >= 3 && text[1] == ':' && text[2] == '\\') return 3;
    if (text.size() < 2 || text[0] != '\\' || text[1] != '\\') return 0;
    int separators = 2;
    for (size_t i = 2; i < text.size(); i += charLength(text, i))
        if (text[i] == '\\' && charLength(text, i) == 1 && ++separators == 4) return i + 1;
    return text.size();
}

}  // namespace

int createFolderPath(const char* path) {
    std::string_view text = path;
    std::string whole(text);
    if (!whole.empty() && isFolder(whole)) return 1;  // a drive root or a share's folder among them
    size_t root = rootLength(text);
    // The levels end at each backslash that is a character of its own, and at the end of the path.
    std::string_view::size_type firstSeparator = std::string_view::npos;
    for (size_t i = 0; i < text.size(); i += charLength(text, i)) {
        if (text[i] != '\\' || charLength(text, i) != 1) continue;
        if (i + 1 == text.size()) break;  // a final backslash ends the last level, it does not split
        if (firstSeparator == std::string_view::npos) {
            firstSeparator = i;
            continue;
        }
        if (i < root) continue;
        std::string level(text.substr(0, i));
        if (!isFolder(level) && !CreateDirectoryA(level.c_str(), nullptr) && !isFolder(level)) return 0;
    }
    // Without a backslash in the middle there is no parent to create the folder in.
    if (firstSeparator == std::string_view::npos) return 0;
    // A failed creation still succeeds when another thread made the folder meanwhile, but not when
    // a file of that name stands in the way.
    return (CreateDirectoryA(whole.c_str(), nullptr) || isFolder(whole)) ? 1 : 0;
}
