#pragma once

// Makes the folder `path` and every missing parent below its first level. Returns 1 when the folder
// exists afterwards, else 0. Works on full paths level by level, so it never touches the process's
// current directory and may run on any thread.
int createFolderPath(const char* path);
