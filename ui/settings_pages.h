// The four pages of the download settings dialog: general, HTTP0 (Referer, port, authentication),
// HTTP1 (cookie) and FTP. Each is a child dialog that shows the fields of a record when it is
// created and writes its controls back into the record when it is destroyed.
#pragma once
#include "lists/download_list.h"
#include <windows.h>

constexpr int kSettingsPageCount = 4;

// The texts of the page tabs, in page order.
extern const char* const kSettingsPageTitles[kSettingsPageCount];

struct SettingsPage {
    int index;             // 0 general, 1 HTTP0, 2 HTTP1, 3 FTP
    DownloadList* record;  // what the page shows and takes back
};

// Creates the page inside the tab control `tabs`, filling the tab's display area. `page` must
// outlive the window and keep its values until the window is destroyed.
HWND createSettingsPage(HWND tabs, const SettingsPage& page);
