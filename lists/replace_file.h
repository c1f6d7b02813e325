#pragma once
#include <string_view>

// Writes `bytes` to a new file beside `path` and puts it in place of `path` only once every byte is
// written, so a failed save (full disk, locked folder) leaves the previous file whole.
bool replaceFileContents(const char* path, std::string_view bytes);
