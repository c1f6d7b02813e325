// Key-by-key access to private-profile (INI) files with the program's read limits.
#pragma once
#include <cstdint>
#include <string>

// The value of `key`, cut to `limit` characters; `fallback` when the key is missing.
std::string readProfileText(const char* path, const char* section, const char* key, const char* fallback,
                            int limit);

// The value read like atoi, from at most `limit` characters.
int32_t readProfileInt(const char* path, const char* section, const char* key, const char* fallback, int limit);

bool writeProfileText(const char* path, const char* section, const char* key, const char* value);
bool writeProfileInt(const char* path, const char* section, const char* key, int32_t value);
// Takes `key` out of the file; true also when it was not there.
bool removeProfileKey(const char* path, const char* section, const char* key);

// Rewrites a profile file through a copy beside it: `write(copyPath)` writes the keys into the copy
// (keys written by hand travel along untouched), and the copy replaces the file only when every
// write succeeded, so a failed save leaves the previous file whole.
std::string beginProfileRewrite(const char* path);
bool finishProfileRewrite(const std::string& copyPath, const char* path, bool written);

template <typename Write> bool rewriteProfile(const char* path, Write write) {
    std::string copyPath = beginProfileRewrite(path);
    return finishProfileRewrite(copyPath, path, write(copyPath.c_str()));
}
