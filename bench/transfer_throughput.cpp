// One transfer from a local server at two buffer sizes: bytes per second as a share of the bound
// that the 10 ms pause after each chunk sets (buffSize x 100 per second), and the process's CPU time
// per MB during the transfer. The HTTP transfer runs against nginx, the FTP transfer (built as
// ftp_throughput) against the local FTP server.
#include "engine/ftp_transfer.h"
#include "engine/http_transfer.h"
#include "tests/engine/scheduler_stand_in.h"
#include <cstdio>
#include <cstdlib>
#include <string>

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
#ifdef QUOVAR_BENCH_FTP
    const char* ini = std::getenv("QUOVAR_SERVERS");
    std::string path = ini ? std::string("Z:") + ini : std::string();
    for (char& c : path)
        if (c == '/') c = '\\';
    int port = GetPrivateProfileIntA("servers", "realftp", 0, path.c_str());
    const char* url = "ftp://127.0.0.1/big.bin";
    LPTHREAD_START_ROUTINE routine = ftpTransfer;
#else
    int port = testServers().nginx;
    const char* url = "http://127.0.0.1/big.bin";
    LPTHREAD_START_ROUTINE routine = httpTransfer;
#endif
    if (port == 0) {
        std::printf("QUOVAR_SERVERS names no running servers\n");
        return 1;
    }
    std::printf("| buffSize | bytes | data seconds | bytes/s | share of bound | CPU ms per MB |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    for (uint32_t buffSize : {4096u, 32767u}) {
        SchedulerStandIn scheduler;
        scheduler.list().HTTP.port = port;
        scheduler.list().FTP.port = port;
        scheduler.list().buffSize = buffSize;
        DownloadItem& item = scheduler.createItem(url);
        double cpuBefore = processCpuSeconds();
        TransferRecord r = scheduler.run(item, routine);
        double cpu = processCpuSeconds() - cpuBefore;
        // The rate of the data phase, from its first byte asked for to the outcome.
        double seconds = (r.outcomeTime - item.startTick) / 1000.0;
        double rate = (item.fetchedSize - item.startSize) / seconds;
        double mb = item.fetchedSize / 1048576.0;
        std::printf("| %u | %s | %.2f | %.0f | %.1f %% | %.1f |\n", buffSize,
                    std::to_string(item.fetchedSize).c_str(), seconds, rate,
                    100.0 * rate / (buffSize * 100.0), 1000.0 * cpu / mb);
    }
    return 0;
}
