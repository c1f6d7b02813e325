#include "lists/profile_file.h"
#include "common/numbers.h"
#include <cstdio>
#include <vector>
#include <windows.h>

std::string readProfileText(const char* path, const char* section, const char* key, const char* fallback,
                            int limit) {
    std::vector<char> buffer(static_cast<size_t>(limit) + 1);
    DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer.data(), static_cast<DWORD>(buffer.size()), path);
    return std::string(buffer.data(), n < buffer.size() ? n : buffer.size() - 1);
}

int32_t readProfileInt(const char* path, const char* section, const char* key, const char* fallback, int limit) {
    return readInt(readProfileText(path, section, key, fallback, limit));
}

bool writeProfileText(const char* path, const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, path) != 0;
}

bool writeProfileInt(const char* path, const char* section, const char* key, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return writeProfileText(path, section, key, text);
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
