// The save file named by the server (Content-Disposition), and the one way save files are opened.
// Transfer and scheduler threads.
#pragma once
#include "engine/connection.h"
#include <string_view>

// Opens the save file for writing at its end or afresh, hidden while it downloads when `hidden`.
// INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE openSaveFile(const char* path, bool hidden);

// Gives the item's save file the name that the Content-Disposition value `disposition` names,
// when the file had no bytes (`bytesPresent` 0) and its name was neither typed by hand nor kept
// from a stored list; the name is free as every new item's is, and never that of a file on disk.
// A different name in a response that resumes the file is ignored and said so in the log. False
// when the run ended: the file could not be opened again.
bool takeServerName(Transfer& t, std::string_view disposition, uint64_t bytesPresent);
