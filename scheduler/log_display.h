// Feeding the log pane from the item logs (scheduler thread, under the item lock).
#pragma once
#include "lists/download_list.h"
#include <string_view>

// Appends a line to the item's log, adopting `text` (new[]) or copying it; when the item is the
// current list's log item the pane shows it too (emptied first when the log started over).
void appendAdoptedLogLine(DownloadItem& item, char* text);
void appendLogLineCopy(DownloadItem& item, std::string_view text);

// Refills the log pane from the current list's log item.
void showItemLog();
