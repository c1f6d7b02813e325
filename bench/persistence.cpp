// Reading and writing the item-list files of up to 20 lists x 1024 items: time for all of them and
// per item, at 1 k, 5 k and 20 k items, to show the cost grows linearly.
#include "bench/clock.h"
#include "common/text.h"
#include "lists/item_list_file.h"
#include "lists/items.h"
#include "lists/list_lifecycle.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <cstdio>
#include <windows.h>

namespace {

// `total` items spread over 20 lists of at most 1024 each.
void fill(const std::string& folder, int total) {
    for (int slot = 0; slot < kListSlots; ++slot) {
        DownloadList& list = downloadLists[slot];
        list = DownloadList{};
        wsprintfA(list.tabName, "list%02d", slot);
        setDefaultSettings(list);
        list.inUse = 1;
        copyText(list.itemListFilePath, folder + "setting\\" + list.tabName + ".qvr");
    }
    for (int i = 0; i < total; ++i) {
        char url[96];
        wsprintfA(url, "http://mirror.example/pub/files/archive-%06d.tar.gz", i);
        DownloadItem* item = createItem(i % kListSlots, 0, url);
        item->totalSize = 1000000 + i;
        if (i % 3 == 0) item->state = Finished;
    }
}

}  // namespace

int main() {
    TempFolder temp;
    usePathsIn(temp.path());
    CreateDirectoryA((temp.path() + "setting").c_str(), nullptr);
    RecordingView recorder;
    view = &recorder;
    std::printf("| items | write ms | read ms | write us/item | read us/item |\n|---:|---:|---:|---:|---:|\n");
    for (int total : {1024, 5120, 20480}) {
        fill(temp.path(), total);
        double start = millisecondsNow();
        writeAllItemLists();
        // The save pauses 500 ms on purpose at its end.
        double written = (millisecondsNow() - start) / 1000 - 0.5;
        releaseAllLists();
        start = millisecondsNow();
        readAllItemLists();
        double read = (millisecondsNow() - start) / 1000;
        std::printf("| %d | %.1f | %.1f | %.2f | %.2f |\n", total, written * 1000, read * 1000,
                    written * 1e6 / total, read * 1e6 / total);
        releaseAllLists();
    }
    view = nullptr;
    return 0;
}
