#pragma once
#include <windows.h>

// Thread routine: fetches one item (the parameter) over HTTP into its open save file, resuming
// from the bytes the file holds, and posts exactly one outcome command. Exit code 0.
DWORD WINAPI httpTransfer(LPVOID item);
