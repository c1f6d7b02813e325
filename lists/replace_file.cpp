#include "lists/replace_file.h"
#include "common/win_handles.h"
#include <string>
#include <windows.h>

bool replaceFileContents(const char* path, std::string_view bytes) {
    const std::string temp = std::string(path) + ".new";
    bool written = false;
    {
        FileHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file.valid()) return false;
        DWORD done = 0;
        written = bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                                              nullptr) &&
                                    done == bytes.size());
        written = written && FlushFileBuffers(file.get());
    }
    if (written && MoveFileExA(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileA(temp.c_str());
    return false;
}
