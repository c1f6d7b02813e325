// Several connections per item: the 256 MiB file of scripts/bench from a server that sends at most
// 5 MiB/s over each connection (nginx limit_rate 5m), over 1, 4 and 8 connections, and from the
// unlimited server over 1 and 4: the whole run's seconds, MB/s and CPU time per MB, each result
// checked byte for byte. A run from the unlimited server lasts a third of a second, where a busy
// moment of the machine weighs a lot: it is run three times and the fastest counts. scripts/bench
// runs aria2c on the same URLs beside it, the same way.
// bench/run connections
#include "bench/clock.h"
#include "engine/http_transfer.h"
#include "engine/transfer_events.h"
#include "lists/speed_limit.h"
#include "tests/engine/scheduler_stand_in.h"
#include <cstdio>
#include <string>

namespace {

struct Measured {
    double seconds = 0;
    double cpuPerMb = 0;
    bool whole = false;
};

Measured transfer(const std::string& url, int connections, const std::string& source) {
    SchedulerStandIn scheduler;
    scheduler.list().speedLimit = kPaceFree;
    scheduler.list().maxTryNum = 1;
    scheduler.list().connectionsPerItem = connections;
    DownloadItem& item = scheduler.createItem(url);
    double cpuBefore = processCpuSeconds();
    TransferRecord r = scheduler.run(item, httpTransfer);
    Measured m;
    m.seconds = r.milliseconds / 1000.0;
    m.cpuPerMb = (processCpuSeconds() - cpuBefore) / (source.size() / 1e6);
    m.whole = r.outcomes == std::vector<uint32_t>{CMD_SUCCEEDED} && readFile(item.savePath) == source;
    DeleteFileA(item.savePath);
    return m;
}

}  // namespace

int main() {
    const TestServers& servers = testServers();
    std::string source = readFile(servers.root + "\\full256.bin");
    if (servers.nginx == 0 || source.empty()) {
        std::printf("QUOVAR_SERVERS names no running servers, or full256.bin is not served (scripts/bench writes it)\n");
        return 1;
    }
    std::string host = "http://127.0.0.1:" + std::to_string(servers.nginx);
    struct Row {
        const char* server;
        std::string url;
        int connections;
        int runs;
    } rows[] = {
        {"5 MiB/s per connection", host + "/each-5m/full256.bin", 1, 1},
        {"5 MiB/s per connection", host + "/each-5m/full256.bin", 4, 1},
        {"5 MiB/s per connection", host + "/each-5m/full256.bin", 8, 1},
        {"no limit", host + "/full256.bin", 1, 3},
        {"no limit", host + "/full256.bin", 4, 3},
    };
    std::printf("| Quovar, %zu MiB | server | connections | seconds | MB/s | CPU s per MB | whole |\n"
                "|---|---|---:|---:|---:|---:|---|\n", source.size() >> 20);
    int failed = 0;
    for (const Row& row : rows) {
        Measured m = transfer(row.url, row.connections, source);
        for (int run = 1; run < row.runs; ++run) {
            Measured again = transfer(row.url, row.connections, source);
            m.whole = m.whole && again.whole;
            if (again.seconds < m.seconds) m = Measured{again.seconds, again.cpuPerMb, m.whole};
        }
        failed += m.whole ? 0 : 1;
        std::printf("| Quovar | %s | %d | %.2f | %.1f | %.4f | %s |\n", row.server, row.connections, m.seconds,
                    source.size() / m.seconds / 1e6, m.cpuPerMb, m.whole ? "yes" : "NO");
        std::fflush(stdout);
    }
    return failed == 0 ? 0 : 1;
}
