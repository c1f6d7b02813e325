// The scheduler under load: 3 lists x maxDownloadNum 10 x 200 small items from the local scripted
// server. Prints the total time, items per second and the share of the wall time the scheduler
// thread was idle (not using the processor). Then 10 FTP items whose outcome comes early and whose
// logout takes a second: the scheduler's processor time while it waits for their threads.
#include "common/text.h"
#include "lists/items.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/scheduler/main_window_stand_in.h"
#include "tests/unit/fake_tabs.h"
#include <cstdio>

namespace {

constexpr int kLists = 3;
constexpr int kItemsPerList = 200;
constexpr int kLogouts = 10;

double threadCpuSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(thread, &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

} // namespace

int main() {
    if (testServers().http == 0) {
        std::printf("QUOVAR_SERVERS names no running servers\n");
        return 1;
    }
    SchedulerStandIn stand;
    FakeTabs tabs;
    for (int slot = 0; slot < kLists; ++slot) {
        DownloadList& list = downloadLists[slot];
        if (slot > 0) list = downloadLists[0];
        list.head = nullptr;
        list.HTTP.port = testServers().http;
        list.maxDownloadNum = 10;
        tabs.insert(slot, "load", 0, slot);
        for (int i = 0; i < kItemsPerList; ++i)
            createItem(slot, i,
                       "http://127.0.0.1/file/" + uniqueToken("load") + "/2000/list" + std::to_string(slot) +
                           "-" + std::to_string(i));
    }
    DownloadList& ftpList = downloadLists[kLists];
    ftpList = downloadLists[0];
    ftpList.head = nullptr;
    ftpList.FTP.port = testServers().ftp;
    copyText(ftpList.FTP.ninsyouUSER, "cwd550/" + uniqueToken("logout") + "/1000");
    for (int i = 0; i < kLogouts; ++i) createItem(kLists, i, "ftp://127.0.0.1/d/f" + std::to_string(i) + ".bin");
    tabStrip = &tabs;
    MainWindowStandIn main;
    DWORD start = GetTickCount();
    double cpuBefore = threadCpuSeconds(main.scheduler);
    for (int slot = 0; slot < kLists; ++slot)
        for (DownloadItem* item = downloadLists[slot].head; item; item = item->next)
            postToScheduler(SCHED_ITEM_COMMAND, CMD_START, reinterpret_cast<LPARAM>(item));
    bool done = main.waitFor(
        [] {
            for (int slot = 0; slot < kLists; ++slot)
                for (DownloadItem* item = downloadLists[slot].head; item; item = item->next)
                    if (item->state != Finished && item->state != Failed) return false;
            return true;
        },
        600000);
    double seconds = (GetTickCount() - start) / 1000.0;
    double busy = threadCpuSeconds(main.scheduler) - cpuBefore;
    int finished = 0;
    for (int slot = 0; slot < kLists; ++slot)
        for (DownloadItem* item = downloadLists[slot].head; item; item = item->next)
            if (item->state == Finished) ++finished;
    std::printf(
        "| items | finished | seconds | items/s | scheduler idle share |\n|---:|---:|---:|---:|---:|\n");
    std::printf("| %d | %d | %.1f | %.1f | %.1f %% |\n", kLists * kItemsPerList, finished, seconds,
                finished / seconds, 100.0 * (1.0 - busy / seconds));

    start = GetTickCount();
    cpuBefore = threadCpuSeconds(main.scheduler);
    for (DownloadItem* item = ftpList.head; item; item = item->next)
        postToScheduler(SCHED_ITEM_COMMAND, CMD_START, reinterpret_cast<LPARAM>(item));
    bool loggedOut = main.waitFor(
        [&] {
            for (DownloadItem* item = ftpList.head; item; item = item->next)
                if (item->state != Failed) return false;
            return true;
        },
        60000);
    seconds = (GetTickCount() - start) / 1000.0;
    busy = threadCpuSeconds(main.scheduler) - cpuBefore;
    std::printf("\n| FTP logouts after an early outcome | seconds | scheduler CPU seconds |\n|---:|---:|---:|\n");
    std::printf("| %d | %.1f | %.3f |\n", kLogouts, seconds, busy);
    tabStrip = nullptr;
    return done && loggedOut ? 0 : 1;
}
