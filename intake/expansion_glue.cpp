#include "intake/expansion_glue.h"
#include "common/message_box.h"
#include "common/view.h"
#include "intake/paste_scan.h"
#include "intake/url_expansion.h"
#include "lists/items.h"
#include <commctrl.h>

namespace {

enum class ExpansionMode : uint8_t { Add, Test };

void clearPreview(HWND preview) {
    if (preview) SendMessageA(preview, LVM_DELETEALLITEMS, 0, 0);
}

void appendPreviewRow(HWND preview, std::string& url) {
    LVITEMA row{};
    row.mask = LVIF_TEXT;
    row.iItem = static_cast<int>(SendMessageA(preview, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = url.data();
    SendMessageA(preview, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
}

void refuseTooMany() { showMessage(tooManyUrlsText().c_str(), kCaptionReport, noticeWarning()); }

int expand(int slot, ExpansionMode mode, HWND preview, std::string_view text) {
    UrlPattern pattern = parseUrlPattern(text);
    switch (pattern.kind) {
    case PatternKind::Plain:
        if (mode == ExpansionMode::Add && !addItemWithRow(slot, rowsOf(slot), text)) return 0;
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
    int row = mode == ExpansionMode::Add ? rowsOf(slot) : 0;
    for (int64_t number = pattern.first; number <= pattern.last; ++number) {
        // The list's limit holds for expansion as it does for a paste, counting the rows it has.
        if (mode == ExpansionMode::Add && row >= kMaxListItems) {
            showMessage(kListFullText, kCaptionReport, MB_TASKMODAL | MB_ICONERROR);
            break;
        }
        std::string url = expandedUrl(pattern, static_cast<int32_t>(number));
        if (mode == ExpansionMode::Test) {
            appendPreviewRow(preview, url);
        } else {
            if (!addItemWithRow(slot, row, url)) break;  // createItem has told the user; the items before stay
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
