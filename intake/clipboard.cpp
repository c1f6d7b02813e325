#include "intake/clipboard.h"
#include "common/clipboard_copy.h"
#include "common/message_box.h"
#include "common/view.h"
#include "common/win_handles.h"
#include "intake/paste_scan.h"
#include "lists/item_chain.h"
#include "lists/items.h"
#include "lists/tab_strip.h"
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr unsigned kFailureStyle = MB_TASKMODAL | MB_ICONERROR;
constexpr char kCannotOpen[] = "クリップボードをオープンできませんでした";
constexpr char kCannotRead[] = "クリップボードを読み込めませんでした";
constexpr char kNoHeapMemory[] = "メモリの確保に失敗";
constexpr char kNoGlobalMemory[] = "メモリを確保できませんでした";
constexpr char kNothingToTell[] = "";  // a failure the user cannot act on

// The clipboard held open for one operation. It is closed when this goes out of scope, and every
// report is shown only after that: a message box waits for the user, and the clipboard must not
// stay locked for other programs meanwhile.
class OpenedClipboard {
  public:
    explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    bool isOpen() const { return open_; }

  private:
    bool open_;
};

struct HeapText {
    std::unique_ptr<char[]> bytes;
    size_t length = 0;
    std::string_view view() const { return {bytes.get(), length}; }
};

// Copies the clipboard's CF_TEXT into `copy`. Returns null, or the text of the failure to report
// once the clipboard is closed again.
const char* copyClipboardText(HWND owner, HeapText& copy) {
    OpenedClipboard clipboard(owner);
    if (!clipboard.isOpen()) return kCannotOpen;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) return kCannotRead;
    const char* text = static_cast<const char*>(GlobalLock(data));
    if (!text) return kCannotRead;
    // The block may be larger than its text, and another program may have left off the zero.
    copy.length = strnlen(text, GlobalSize(data));
    copy.bytes.reset(new (std::nothrow) char[copy.length + 1]);
    if (copy.bytes) {
        std::memcpy(copy.bytes.get(), text, copy.length);
        copy.bytes[copy.length] = '\0';
    }
    GlobalUnlock(data);
    return copy.bytes ? nullptr : kNoHeapMemory;
}

bool readClipboardText(HWND owner, HeapText& copy) {
    const char* failure = copyClipboardText(owner, copy);
    if (failure) showMessage(failure, kCaptionError, kFailureStyle);
    return failure == nullptr;
}

// Fills a fresh block with `text` and hands it to the clipboard. Returns null, or the failure to
// report once the clipboard is closed.
const char* handToClipboard(HWND owner, std::string_view text) {
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1));
    char* bytes = block.valid() ? static_cast<char*>(GlobalLock(block.get())) : nullptr;
    if (!bytes) return kNoGlobalMemory;
    std::memcpy(bytes, text.data(), text.size());
    GlobalUnlock(block.get());

    OpenedClipboard clipboard(owner);
    if (!clipboard.isOpen()) return kCannotOpen;  // the block is freed on the way out
    GlobalBlock previous = copyOfClipboardText();
    EmptyClipboard();
    // From here on the clipboard owns the block. Should the system refuse it, there is nothing
    // the user could do about it; the block is ours again and is freed, cut keeps its items, and
    // the text the clipboard had goes back.
    if (!SetClipboardData(CF_TEXT, block.get())) {
        if (previous.valid() && SetClipboardData(CF_TEXT, previous.get())) previous.release();
        return kNothingToTell;
    }
    block.release();
    return nullptr;
}

}  // namespace

void pasteUrls(HWND owner) {
    // The list of the selected tab: right after a tab was closed, the scheduler may not have shown
    // the list that took its place yet.
    int slot = selectedSlot();
    int row = rowsOf(slot);
    HeapText text;
    if (!readClipboardText(owner, text)) return;
    PasteScan scan = scanPastedText(text.view(), row);
    for (std::string_view url : scan.urls)
        if (!addItemWithRow(slot, row++, url)) return;  // createItem has told the user; the items before stay
    if (scan.refused > 0) showMessage(urlsTooLongText(scan.refused).c_str(), kCaptionReport, kFailureStyle);
    if (scan.limitReached) showMessage(kListFullText, kCaptionReport, kFailureStyle);
}

bool copySelectedUrls(HWND owner) {
    syncSelectionMarks(*view);
    constexpr std::string_view kLineEnd = "\r\n";
    size_t length = 0;
    for (const DownloadItem* item = currentList->head; item; item = item->next)
        if (item->viewState & kRowSelected) length += item->url.size() + kLineEnd.size();

    std::unique_ptr<char[]> text(new (std::nothrow) char[length + 1]);
    if (!text) {
        showMessage(kNoHeapMemory, kCaptionError, kFailureStyle);
        return false;
    }
    char* end = text.get();
    for (const DownloadItem* item = currentList->head; item; item = item->next) {
        if (!(item->viewState & kRowSelected)) continue;
        for (std::string_view part : {std::string_view(item->url), kLineEnd}) {
            std::memcpy(end, part.data(), part.size());
            end += part.size();
        }
    }
    *end = '\0';
    return putClipboardText(owner, {text.get(), length});
}

bool putClipboardText(HWND owner, std::string_view text) {
    const char* failure = handToClipboard(owner, text);
    if (failure && failure != kNothingToTell) showMessage(failure, kCaptionReport, kFailureStyle);
    return failure == nullptr;
}
