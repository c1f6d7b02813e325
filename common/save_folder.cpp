#include "common/save_folder.h"
#include "common/cp932.h"
#include "common/text.h"
#include "common/url_rules.h"

namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool hasDrive(std::string_view path) { return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A lead byte with no trail byte after it would take the backslash that follows as its trail byte.
void dropDanglingLeadByte(std::string& path) {
    size_t last = 0;
    for (size_t i = 0; i < path.size(); i += charLength(path, i)) last = i;
    if (!path.empty() && charLength(path, last) == 1 && isLeadByte(static_cast<unsigned char>(path[last])))
        path.pop_back();
}

std::string rooted(const std::string& path, std::string_view programFolder) {
    if (path.starts_with("\\\\")) return path;
    if (hasDrive(path)) return path.size() > 2 && path[2] == '\\' ? path : path.substr(0, 2) + "\\" + path.substr(2);
    if (path.starts_with("\\")) return hasDrive(programFolder) ? std::string(programFolder.substr(0, 2)) + path
                                                              : std::string(programFolder) + path.substr(1);
    return std::string(programFolder) + path;
}

}  // namespace

std::string normalSaveFolder(std::string_view typed, std::string_view programFolder) {
    std::string path(trimBlanks(typed));
    if (path.empty()) return path;
    for (char& c : path)
        if (c == '/') c = '\\';  // never a trail byte: those start at 0x40
    dropDanglingLeadByte(path);
    if (path.empty()) return path;
    path = rooted(path, programFolder);
    bool endsWithBackslash = containingFolder(path).size() == path.size();
    if (endsWithBackslash && path.size() <= kSaveFolderLength) return path;
    path.resize(fittingLength(path, kSaveFolderLength - 1));
    dropDanglingLeadByte(path);
    if (containingFolder(path).size() != path.size()) path += '\\';
    return path;
}
