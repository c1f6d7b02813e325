// The shell's folder browser as the dialogs use it for a save folder, and the folder a typed text
// stands for.
#pragma once
#include <string>
#include <string_view>
#include <windows.h>

// Shows the folder browser owned by `owner`, starting at the folder `path` names (a buffer of 260
// bytes). When the user picks a folder, `path` becomes that folder with a trailing backslash and
// the answer is true; otherwise `path` is left alone.
bool browseForFolder(HWND owner, char* path);

// The browser on the text of the edit control `edit`, owned by the edit's dialog window; the folder
// picked goes back into the edit.
void browseIntoEdit(HWND edit);

// The save folder a dialog's field names (see normalSaveFolder, inside the program's folder). A
// field left empty stands for `otherwise`, and for the program's download folder when that is
// empty too: an item's path never becomes a bare name, written wherever the current folder is.
std::string typedSaveFolder(std::string_view typed, std::string_view otherwise = {});
