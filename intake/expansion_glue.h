// URL patterns (url_expansion.h) turned into items or into the preview rows of the new-item
// dialog. UI thread.
#pragma once
#include <string_view>
#include <windows.h>

// Test mode: the URLs of `pattern` become the rows of `preview`, a report-style list view, in
// number order; nothing is added to any list. The preview is emptied first, except for a plain URL
// and for a malformed pattern (no ']', no '-', first not below last), which leave it as it was.
void previewUrlPattern(HWND preview, std::string_view pattern);

// Add mode: one item per URL of `pattern` at the end of the list in `slot`; when that list is the
// current one, each row is inserted after the rows the item list view shows. A plain URL (no '[')
// becomes one item as it is. `preview` (may be null) is emptied as in test mode. Creation stops at
// the first item memory cannot be had for. Returns 0 when a plain URL could not be added, else 1.
int addUrlPattern(int slot, HWND preview, std::string_view pattern);

// Both modes: a pattern standing for more than kMaxExpandedUrls URLs empties the preview and is
// refused with a message box; nothing is added.
