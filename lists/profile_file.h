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
