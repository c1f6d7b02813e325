// Several connections per item against a server that limits each connection to 5 MiB/s (nginx
// limit_rate): one 256 MiB file over 1, 4 and 8 connections, wall seconds from the start to the
// outcome, MB/s and the process's CPU time per MB. scripts/bench sets aria2c with 4 and 8
// connections beside it on the same file.
// bench/run range_speed
#include "bench/clock.h"
#include "common/text.h"
#include "engine/http_transfer.h"
#include "engine/transfer_events.h"
#include "lists/speed_limit.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <cstdio>
#include <string>

int main() {
    const TestServers& servers = testServers();
    if (servers.nginx == 0) {
        std::printf("QUOVAR_SERVERS names no running servers\n");
        return 1;
    }
    // scripts/bench writes the file before the peers fetch it; by hand it is written here.
    constexpr uint32_t kSize = 256u << 20;
    std::string served = servers.root + "\\full256.bin";
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(served.c_str(), GetFileExInfoStandard, &data) || data.nFileSizeLow != kSize)
        writeFile(served, contentBytes(0, kSize));
    std::printf("| program | connections | seconds | MB/s | CPU s per MB |\n|---|---:|---:|---:|---:|\n");
    for (int connections : {1, 4, 8}) {
        SchedulerStandIn scheduler;
        scheduler.list().HTTP.port = servers.nginx;
        scheduler.list().speedLimit = kPaceFree;
        scheduler.list().maxTryNum = 1;
        scheduler.list().connectionsPerItem = connections;
        copyText(scheduler.list().itemListFilePath, scheduler.temp.path() + "bench.qvr");
        DownloadItem& item = scheduler.createItem("http://127.0.0.1/five/full256.bin");
        double cpuBefore = processCpuSeconds();
        TransferRecord r = scheduler.run(item, httpTransfer);
        double cpu = processCpuSeconds() - cpuBefore;
        double seconds = r.milliseconds / 1000.0;
        bool whole = r.outcomes == std::vector<uint32_t>{CMD_SUCCEEDED} && item.fetchedSize == kSize;
        std::printf("| Quovar | %d | %.2f | %.1f | %.4f |%s\n", connections, seconds, kSize / seconds / 1e6,
                    cpu / (kSize / 1e6), whole ? "" : " (not whole)");
        DeleteFileA(item.savePath);
    }
    return 0;
}
