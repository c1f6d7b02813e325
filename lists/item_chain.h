// Walking and reordering the chain of items of one list. Pure chain surgery; the rows of the list
// view are rewritten by the caller afterwards.
#pragma once
#include "lists/download_list.h"

constexpr uint32_t kRowSelected = 2;
constexpr uint32_t kRowFocused = 1;

// Items waiting for deletion stay in the chain but have no row.
inline bool hasRow(const DownloadItem& item) { return item.state != DeleteRequested && item.state != Deleting; }

void appendItem(DownloadList& list, DownloadItem* item);

// 0-based position of `item` in the chain of `list`, or -1 when it is not there.
int itemPosition(const DownloadList& list, const DownloadItem* item);

// Row of `item` in the list view (items without a row are not counted), or -1.
int itemRow(const DownloadList& list, const DownloadItem* item);

// Takes `item` out of the chain of `list`; false when it was not there.
bool unlinkItem(DownloadList& list, DownloadItem* item);

int countSelected(const DownloadList& list);

// Moves every run of consecutive items whose viewState carries kRowSelected one place up (down).
// A run already at the top (bottom) stays. Return whether anything moved.
bool moveRunsUp(DownloadList& list);
bool moveRunsDown(DownloadList& list);
