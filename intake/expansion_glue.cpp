#include "intake/expansion_glue.h"
#include "common/message_box.h"
#include "common/view.h"
#include "intake/url_expansion.h"
#include "lists/items.h"
#include <commctrl.h>

namespace {

enum class ExpansionMode : uint8_t { Add, Test };

void clearPreview(HWND preview) {
    if (preview) SendMessageA(preview, LVM_DELETEALLITEMS, 0, 0);
}

void appendPreviewRow(HWND preview, char* url) {
    LVITEMA row{};
    row.mask = LVIF_TEXT;
    row.iItem = static_cast<int>(SendMessageA(preview, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = url;
    SendMessageA(preview, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
}

void refuseTooMany() {
    char text[128];
    wsprintfA(text, "展開できるURLは1回に%d個までです", static_cast<int>(kMaxExpandedUrls));
    showMessage(text, kCaptionReport, noticeWarning());
}

// Creates the item at the end of the list in `slot`; its row goes in at `row` when that list is
// the one the item list view shows (rows of other lists are built when they become current).
DownloadItem* addItem(int slot, int row, std::string_view url) {
    DownloadItem* item = createItem(slot, row, url);
    if (item && &downloadLists[slot] == currentList) view->insertRow(row, *item);
    return item;
}

int expand(int slot, ExpansionMode mode, HWND preview, std::string_view text) {
    UrlPattern pattern = parseUrlPattern(text);
    switch (pattern.kind) {
    case PatternKind::Plain:
        if (mode == ExpansionMode::Add && !addItem(slot, view->rowCount(), text)) return 0;
        return 1;
    case PatternKind::Malformed: return 1;
    case PatternKind::TooWide: clearPreview(preview); return 1;
    case PatternKind::TooMany:
        clearPreview(preview);
        refuseTooMany();
        return 1;
    case PatternKind::Range: break;
    }

    clearPreview(preview);
    int row = mode == ExpansionMode::Add ? view->rowCount() : 0;
    char url[kUrlSize];
    for (int64_t number = pattern.first; number <= pattern.last; ++number) {
        expandedUrl(pattern, static_cast<int32_t>(number), url);
        if (mode == ExpansionMode::Test) {
            appendPreviewRow(preview, url);
        } else {
            if (!addItem(slot, row, url)) break;  // createItem has told the user; the items before stay
            ++row;
        }
    }
    return 1;
}

}  // namespace

void previewUrlPattern(HWND preview, std::string_view pattern) { expand(-1, ExpansionMode::Test, preview, pattern); }

int addUrlPattern(int slot, HWND preview, std::string_view pattern) {
    return expand(slot, ExpansionMode::Add, preview, pattern);
}
