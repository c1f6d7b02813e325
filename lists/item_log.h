// The log of one item: a chain of at most kMaxLogLines lines. When it is full the whole log is
// dropped and the new line starts an empty one (the pane is then refilled, not scrolled).
#pragma once
#include "lists/download_list.h"
#include <string_view>

// The longest log line kept. A longer one (a request line with a long URL) is shortened for the pane
// only; what goes out to the server is sent whole.
constexpr size_t kLogLineLength = 1023;

enum class LogAppend { Added, Restarted, Refused };

// Takes ownership of `text` (allocated with new[]). The line is kept only while the item is in the
// chain of the list its listIndex names; otherwise it is freed and Refused is returned. Restarted
// means the old lines were freed first.
LogAppend adoptLogLine(DownloadItem& item, char* text);

// Copies `text` into a new line; otherwise as adoptLogLine. Refused also when memory runs out.
LogAppend appendLogLine(DownloadItem& item, std::string_view text);

// A new[] copy of `text` with its terminating zero, or null when memory runs out.
char* duplicateText(std::string_view text);

int logLineCount(const DownloadItem& item);
void freeLog(DownloadItem& item);
