#include "lists/profile_file.h"
#include "common/numbers.h"
#include "common/text.h"
#include <cstdio>
#include <string_view>
#include <vector>
#include <windows.h>

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The reader drops blanks around a value and one pair of quotes (double or single) around it; a
// value that either would change is written inside double quotes, which the reader takes off
// again. Such a byte is never the trail byte of a double-byte character (those start at 0x40).
bool needsQuotes(std::string_view value) {
    if (value.empty()) return false;
    if (isBlank(value.front()) || isBlank(value.back())) return true;
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

}  // namespace

std::string readProfileText(const char* path, const char* section, const char* key, const char* fallback,
                            int limit) {
    // Room for the quotes around a value of `limit` characters: the reader takes them off only when
    // the closing one fits into the buffer.
    std::vector<char> buffer(static_cast<size_t>(limit) + 3);
    DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer.data(), static_cast<DWORD>(buffer.size()), path);
    std::string_view text(buffer.data(), n < buffer.size() ? n : buffer.size() - 1);
    return std::string(text.substr(0, fittingLength(text, static_cast<size_t>(limit))));
}

int32_t readProfileInt(const char* path, const char* section, const char* key, const char* fallback, int limit) {
    return readInt(readProfileText(path, section, key, fallback, limit));
}

bool writeProfileText(const char* path, const char* section, const char* key, const char* value) {
    if (!needsQuotes(value)) return WritePrivateProfileStringA(section, key, value, path) != 0;
    std::string quoted = std::string("\"") + value + "\"";
    return WritePrivateProfileStringA(section, key, quoted.c_str(), path) != 0;
}

bool writeProfileInt(const char* path, const char* section, const char* key, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return writeProfileText(path, section, key, text);
}

bool removeProfileKey(const char* path, const char* section, const char* key) {
    return WritePrivateProfileStringA(section, key, nullptr, path) != 0;
}

std::string beginProfileRewrite(const char* path) {
    std::string copyPath = std::string(path) + ".new";
    DeleteFileA(copyPath.c_str());
    CopyFileA(path, copyPath.c_str(), FALSE);
    SetFileAttributesA(copyPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    return copyPath;
}

bool finishProfileRewrite(const std::string& copyPath, const char* path, bool written) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copyPath.c_str());  // flush and forget the cached copy
    if (written && MoveFileExA(copyPath.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileA(copyPath.c_str());
    return false;
}
