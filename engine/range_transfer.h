// An HTTP item fetched as several ranges at once, each over a connection of its own, into one part
// file beside the save file ("<save path>.qvpart"). Which ranges are done is kept in a state file
// in the list's settings folder, replaced whole, so that a stop, a crash or the program's exit at
// any moment leaves a state that claims no byte the part file lacks. The save file gets the bytes
// only when all are there: the part file is put in its place.
#pragma once
#include "engine/http_run.h"
#include <string>

// Called by the item's transfer thread once its first response offered ranges (rangesUsable) and
// told the total (in item.totalSize) and `validator`, with that response's body (the item's bytes
// up to `bodyEnd`) next on the socket.
// At the free pace, when nothing of the item is done yet, that body is read for a moment to learn
// one connection's pace: the connections stay several only when together they are clearly faster.
// Ended: the run has its outcome. Retry: a connection failed; the next try resumes the missing
// ranges. Again: the server stopped giving ranges (a whole file, another version or total): the
// part file's done bytes from byte 0 went into the save file, and `run.singleConnection` is set.
Attempt fetchRanges(HttpRun& run, const std::string& validator, uint64_t bodyEnd);

// Whether an earlier run left a state of the item's ranges: the item goes on from them, over
// ranges, even when its list has since been set to one connection.
bool rangesRecorded(const DownloadList& list, const DownloadItem& item);

// An item taken off its list leaves no part file or state file behind. Scheduler thread, while no
// transfer thread runs for the item.
void discardRangeFiles(const DownloadList& list, const DownloadItem& item);
