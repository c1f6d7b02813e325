// One transfer from the local nginx at two buffer sizes: bytes per second as a share of the bound
// that the 10 ms pause after each chunk sets (buffSize x 100 per second), and the process's CPU time
// per MB during the transfer.
#include "engine/http_transfer.h"
#include "tests/engine/scheduler_stand_in.h"
#include <cstdio>

namespace {

double processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace

int main() {
    if (testServers().nginx == 0) {
        std::printf("QUOVAR_SERVERS names no running servers\n");
        return 1;
    }
    std::printf("| buffSize | bytes | data seconds | bytes/s | share of bound | CPU ms per MB |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    for (uint32_t buffSize : {4096u, 32767u}) {
        SchedulerStandIn scheduler;
        scheduler.list().HTTP.port = testServers().nginx;
        scheduler.list().buffSize = buffSize;
        DownloadItem& item = scheduler.createItem("http://127.0.0.1/big.bin");
        double cpuBefore = processCpuSeconds();
        TransferRecord r = scheduler.run(item, httpTransfer);
        double cpu = processCpuSeconds() - cpuBefore;
        // The rate of the data phase, from its first byte asked for to the outcome.
        double seconds = (r.outcomeTime - item.startTick) / 1000.0;
        double rate = (item.fetchedSize - item.startSize) / seconds;
        double mb = item.fetchedSize / 1048576.0;
        std::printf("| %u | %u | %.2f | %.0f | %.1f %% | %.1f |\n", buffSize, item.fetchedSize, seconds, rate,
                    100.0 * rate / (buffSize * 100.0), 1000.0 * cpu / mb);
    }
    return 0;
}
