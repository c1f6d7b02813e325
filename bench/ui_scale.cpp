// The real program with 20 lists of 1024 items each: time from the process start to the first idle
// of its message loop, time of a tab switch, and how fast the window answers a message (a WM_NULL
// round trip) while 20 transfers run.
#include "lists/item_list_format.h"
#include "bench/clock.h"
#include "tests/e2e/quovar_driver.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLists = 20;
constexpr int kItems = 1024;
constexpr int kTransfers = 20;
constexpr uint32_t kServedSize = 48u << 20;  // lasts longer than the sampling at full speed
constexpr DWORD kSamplingMs = 15000;

std::string listName(int slot) {
    char name[8];
    wsprintfA(name, "L%02d", slot);
    return name;
}

// Twenty lists in the program's setting folder; the first items of list 0 name large files that
// nginx serves, every other item a file nobody starts.
void prepare(const std::string& folder) {
    CreateDirectoryA((folder + "setting").c_str(), nullptr);
    for (int slot = 0; slot < kLists; ++slot) {
        std::string name = listName(slot);
        writeFile(folder + "setting\\" + name + ".ini", "[SETTING]\r\ntabName=" + name + "\r\ntabNo=" +
                                                           std::to_string(slot) + "\r\nmaxDownloadNum=20\r\n[HTTP]\r\nport=" +
                                                           std::to_string(testServers().nginx) + "\r\n");
        std::string records;
        for (int i = 0; i < kItems; ++i) {
            char url[96];
            if (slot == 0 && i < kTransfers)
                wsprintfA(url, "http://127.0.0.1/scale%02d.bin", i);
            else
                wsprintfA(url, "http://mirror.example/pub/%s/archive-%04d.tar.gz", name.c_str(), i);
            records += formatItemRecord(url, "", 0, false);
        }
        writeFile(folder + "setting\\" + name + ".qvr", records);
    }
    std::string bytes(kServedSize, 'q');
    for (int i = 0; i < kTransfers; ++i) {
        char path[32];
        wsprintfA(path, "\\scale%02d.bin", i);
        writeFile(testServers().root + path, bytes);
    }
}

uint64_t bytesOnDisk(const std::string& folder) {
    uint64_t total = 0;
    for (int i = 0; i < kTransfers; ++i) {
        char path[32];
        wsprintfA(path, "scale%02d.bin", i);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA((folder + "download\\" + path).c_str(), GetFileExInfoStandard, &data))
            total += data.nFileSizeLow;
    }
    return total;
}

}  // namespace

int main() {
    TempFolder temp;
    std::string folder = temp.path() + "Quovar\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    prepare(folder);

    std::vector<double> starts;
    for (int run = 0; run < 3; ++run) {
        QuovarProcess q(folder);
        if (!q.started() || q.rows(8000, 1).size() != kItems) {
            std::fprintf(stderr, "the program did not show the first list's %d rows\n", kItems);
            return 1;
        }
        starts.push_back(q.millisecondsToIdle());
        q.closeAndWait(30000);
    }

    QuovarProcess q(folder);
    std::vector<double> switches;
    // Back and forth over the first eight tabs, which the strip shows without scrolling.
    for (int round = 0; round < 2 * kLists; ++round) {
        int step = (round + 1) % 14;
        int index = step < 8 ? step : 14 - step;
        std::string expected = "Quovar - " + folder + "setting\\" + listName(index) + ".qvr";
        double start = millisecondsNow();
        q.clickTab(index);
        while (q.title() != expected)
            if (millisecondsNow() - start > 10000) {
                std::fprintf(stderr, "tab %d did not come up (title %s)\n", index, q.title().c_str());
                return 1;
            }
        q.settle();
        switches.push_back(millisecondsNow() - start);
    }

    q.clickTab(0);
    std::vector<int> first(kTransfers);
    for (int i = 0; i < kTransfers; ++i) first[i] = i;
    q.selectRows(first);
    q.command(200);
    Sleep(1000);
    uint64_t before = bytesOnDisk(folder);
    std::vector<double> responses;
    double sampling = millisecondsNow();
    while (millisecondsNow() - sampling < kSamplingMs) {
        double ms = 0;
        if (!roundTrip(q.window(), &ms)) {
            std::fprintf(stderr, "the window did not answer within 10 s\n");
            return 1;
        }
        responses.push_back(ms);
        Sleep(10);
    }
    double seconds = (millisecondsNow() - sampling) / 1000.0;
    uint64_t fetched = bytesOnDisk(folder) - before;
    q.command(207);
    q.closeAndWait(30000);
    for (int i = 0; i < kTransfers; ++i) {
        char path[32];
        wsprintfA(path, "\\scale%02d.bin", i);
        DeleteFileA((testServers().root + path).c_str());
    }

    std::printf("| measure | median | p99 / worst | target |\n|---|---:|---:|---|\n");
    std::printf("| start to first idle, %d lists x %d items (ms, %zu runs) | %.0f | %.0f | under 1000 |\n", kLists,
                kItems, starts.size(), percentile(starts, 0.5), percentile(starts, 1.0));
    std::printf("| tab switch (ms, %zu switches) | %.1f | %.1f | under 150 |\n", switches.size(),
                percentile(switches, 0.5), percentile(switches, 1.0));
    std::printf("| WM_NULL round trip, %d transfers (ms, %zu samples) | %.2f | %.2f | p99 under 50 |\n", kTransfers,
                responses.size(), percentile(responses, 0.5), percentile(responses, 0.99));
    std::printf("\nDuring the sampling the %d transfers fetched %.1f MB/s together.\n", kTransfers,
                static_cast<double>(fetched) / seconds / 1e6);
    return 0;
}
