// The save folder as a user types it into a dialog, made into the form every item's path is built
// on: an absolute folder that ends with a backslash and fits the 260-byte path fields.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

constexpr size_t kSaveFolderLength = 259;  // bytes a save folder may hold, its zero not counted

// `typed` made a save folder, read as code page 932 so that a trail byte is never taken for a
// backslash:
//  - blanks around it are dropped and '/' is taken for '\'; an empty text stays empty (the list
//    then uses the default download folder);
//  - a folder not rooted at a drive ("C:\") or a share ("\\server\") is taken as inside
//    `programFolder` (the folder of the executable, ending with '\'), so where files land never
//    depends on the folder the program was started from; "\x" is taken on the program's drive
//    and "C:x" as "C:\x";
//  - the folder ends with a backslash; one longer than kSaveFolderLength is cut, on a character's
//    edge, to leave room for it.
std::string normalSaveFolder(std::string_view typed, std::string_view programFolder);
