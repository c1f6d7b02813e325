#pragma once
#include <windows.h>

// Thread routine: fetches one item (the parameter) over FTP in passive mode into its open save
// file, resuming from the bytes the file holds, and closes every logged-in dialogue with QUIT.
// Posts one outcome command; the only second one is a CMD_DELETE for a delete request that
// arrived after an earlier outcome. Exit code 0.
DWORD WINAPI ftpTransfer(LPVOID item);
