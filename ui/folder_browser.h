// The shell's folder browser as the dialogs use it for a save folder.
#pragma once
#include <windows.h>

// Shows the folder browser owned by `owner`, starting at the folder `path` names (a buffer of 260
// bytes). When the user picks a folder, `path` becomes that folder with a trailing backslash and
// the answer is true; otherwise `path` is left alone.
bool browseForFolder(HWND owner, char* path);

// The browser on the text of the edit control `edit`, owned by the edit's dialog window; the folder
// picked goes back into the edit.
void browseIntoEdit(HWND edit);
