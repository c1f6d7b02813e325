// One transfer from a local server at two buffer sizes: bytes per second as a share of the bound
// that the 10 ms pause after each chunk sets (buffSize x 100 per second), and the process's CPU time
// per MB during the transfer. The HTTP transfer runs against nginx, plain and with TLS, the FTP
// transfer (built as ftp_throughput) against the local FTP server.
#include "bench/clock.h"
#include "engine/ftp_transfer.h"
#include "engine/http_transfer.h"
#include "tests/engine/scheduler_stand_in.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main() {
    struct Row {
        const char* scheme;
        int port;
        std::string url;
        LPTHREAD_START_ROUTINE routine;
    };
    std::vector<Row> rows;
#ifdef QUOVAR_BENCH_FTP
    const char* ini = std::getenv("QUOVAR_SERVERS");
    std::string path = ini ? std::string("Z:") + ini : std::string();
    for (char& c : path)
        if (c == '/') c = '\\';
    int port = GetPrivateProfileIntA("servers", "realftp", 0, path.c_str());
    rows.push_back({"ftp", port, "ftp://127.0.0.1/big.bin", ftpTransfer});
#else
    int port = testServers().nginx;
    rows.push_back({"http", port, "http://127.0.0.1/big.bin", httpTransfer});
    // TLS needs a host name that the certificate names, and the test CA trusted.
    if (testServers().https && trustTestCa())
        rows.push_back({"https", testServers().https,
                        "https://localhost:" + std::to_string(testServers().https) + "/big.bin", httpTransfer});
#endif
    if (port == 0) {
        std::printf("QUOVAR_SERVERS names no running servers\n");
        return 1;
    }
    std::printf("| scheme | buffSize | bytes | data seconds | bytes/s | share of bound | CPU ms per MB |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& row : rows) {
        for (uint32_t buffSize : {4096u, 32767u}) {
            SchedulerStandIn scheduler;
            scheduler.list().HTTP.port = row.port;
            scheduler.list().FTP.port = row.port;
            scheduler.list().buffSize = buffSize;
            DownloadItem& item = scheduler.createItem(row.url);
            double cpuBefore = processCpuSeconds();
            TransferRecord r = scheduler.run(item, row.routine);
            double cpu = processCpuSeconds() - cpuBefore;
            // The rate of the data phase, from its first byte asked for to the outcome.
            double seconds = (r.outcomeTime - item.startTick) / 1000.0;
            double rate = (item.fetchedSize - item.startSize) / seconds;
            double mb = item.fetchedSize / 1048576.0;
            std::printf("| %s | %u | %s | %.2f | %.0f | %.1f %% | %.1f |\n", row.scheme, buffSize,
                        std::to_string(item.fetchedSize).c_str(), seconds, rate, 100.0 * rate / (buffSize * 100.0),
                        1000.0 * cpu / mb);
        }
    }
    return 0;
}
