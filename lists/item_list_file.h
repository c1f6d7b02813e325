// Reading every list's item-list file at start and writing them all at save time.
#pragma once

// Reads the items of every list in use (UI thread, before the scheduler starts). A missing file is
// reported and its list stays empty.
void readAllItemLists();

// Writes the items of every list in use, showing the save progress. Each file is replaced whole,
// so a failed write never leaves a list's only copy cut short.
void writeAllItemLists();
