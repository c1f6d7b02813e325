// How long the intake takes per item, through the same code as the commands: a paste of 1024 URLs
// from the real clipboard into an empty list, alone and beside 19 full lists (distinct names, and
// one name for all), and a 1000-number pattern expanded in add mode. Rows
// go to a recording view here, so list-view costs are not included: measure again in the program
// once the item list view exists.
#include "common/message_box.h"
#include "intake/clipboard.h"
#include "intake/expansion_glue.h"
#include "lists/items.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

namespace {

constexpr int kRuns = 5;

double nowMs() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool setClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    bool ok = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    return ok;
}

int itemCount(const DownloadList& list) {
    int n = 0;
    for (const DownloadItem* item = list.head; item; item = item->next) ++n;
    return n;
}

struct Measure {
    const char* what;
    int items;
    double medianMs;
};

// Median of kRuns runs of `run` on a fresh empty list; `items` is what one run created.
template <typename Run> Measure measure(const char* what, Run run) {
    std::vector<double> times;
    int items = 0;
    for (int i = 0; i < kRuns; ++i) {
        DownloadList& list = downloadLists[0];
        RecordingView rows;
        view = &rows;
        double start = nowMs();
        run();
        times.push_back(nowMs() - start);
        items = itemCount(list);
        freeAllItems(list);
    }
    std::sort(times.begin(), times.end());
    return {what, items, times[times.size() / 2]};
}

}  // namespace

int main() {
    TempFolder temp;
    usePathsIn(temp.path());
    DownloadList& list = downloadLists[0];
    setDefaultSettings(list);
    list.inUse = 1;
    currentList = &list;
    // The paste of 1024 URLs fills the list and says so; answer it here.
    setMessageHook([](const char*, const char*, unsigned) { return IDOK; });

    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    std::string text;
    for (int i = 0; i < 1024; ++i) text += "http://127.0.0.1/files/part" + std::to_string(i) + ".bin\r\n";
    if (!window || !setClipboard(window, text)) {
        std::printf("the clipboard cannot be set (is there a display?)\n");
        return 1;
    }

    std::vector<Measure> results = {
        measure("paste of 1024 URLs", [&] { pasteUrls(window); }),
        measure("expansion of [1-1000], add mode", [] { addUrlPattern(0, nullptr, "http://127.0.0.1/img/[1-1000].jpg"); }),
    };
    // The same paste beside 19 full lists saving into the same folder: every new name is looked up
    // among theirs. Then 1024 URLs that all give one name, which the numbering must step through.
    for (int slot = 1; slot < kListSlots; ++slot) {
        setDefaultSettings(downloadLists[slot]);
        downloadLists[slot].inUse = 1;
        DownloadItem* last = nullptr;
        for (int i = 0; i < 1024; ++i)
            last = createItem(slot, i, "http://mirror.example/pub/L" + std::to_string(slot) + "/archive-" +
                                           std::to_string(i) + ".tar.gz", last);
    }
    results.push_back(measure("paste of 1024 URLs beside 19 x 1024 items", [&] { pasteUrls(window); }));
    std::string shared;
    for (int i = 0; i < 1024; ++i) shared += "http://127.0.0.1/view.php?id=" + std::to_string(i) + "\r\n";
    setClipboard(window, shared);
    results.push_back(measure("paste of 1024 URLs of one name beside 19 x 1024 items", [&] { pasteUrls(window); }));
    std::printf("| operation | items | ms (median of %d) | ms per item |\n", kRuns);
    std::printf("|---|---:|---:|---:|\n");
    for (const Measure& m : results)
        std::printf("| %s | %d | %.1f | %.3f |\n", m.what, m.items, m.medianMs, m.medianMs / m.items);
    std::printf("\nRows went to a recording view; re-measure in the program with the real item list view.\n");
    DestroyWindow(window);
    return 0;
}
