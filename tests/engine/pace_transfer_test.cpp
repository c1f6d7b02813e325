// The free and limited paces end to end: a large file at line speed over HTTP, HTTPS and FTP ends
// byte for byte the server's, and a limit holds against servers that could send far faster.
#include "engine/ftp_transfer.h"
#include "engine/http_transfer.h"
#include "engine/pace.h"
#include "engine/transfer_events.h"
#include "tests/engine/scheduler_stand_in.h"
#include <gtest/gtest.h>

namespace {

TEST(Pace, FreeTransfersEndWholeAndLimitedOnesKeepTheirRate) {
    const TestServers& servers = testServers();
    ASSERT_NE(servers.https, 0) << "QUOVAR_SERVERS names no TLS servers";
    ASSERT_TRUE(trustTestCa());
    std::string large = contentBytes(0, 64u << 20);
    writeFile(servers.root + "\\free.bin", large);
    writeFile(servers.ftpRoot + "\\free.bin", large);
    std::string big = readFile(servers.root + "\\big.bin");  // 3 MiB

    auto at = [](const char* scheme, int port, const char* path) {
        return std::string(scheme) + "://localhost:" + std::to_string(port) + path;
    };
    struct Case {
        std::string url;
        bool ftp;
        int32_t limit;
        const std::string& expected;
        int connections = 1;
    } cases[] = {
        {at("http", servers.nginx, "/free.bin"), false, kPaceFree, large},
        {at("https", servers.https, "/free.bin"), false, kPaceFree, large},
        {at("ftp", servers.realFtp, "/free.bin"), true, kPaceFree, large},
        {at("http", servers.nginx, "/big.bin"), false, 1000, big},
        {at("ftp", servers.realFtp, "/big.bin"), true, 1000, big},
        {at("http", servers.nginx, "/big.bin"), false, 1000, big, 2},  // the limit is the item's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url + " at " + std::to_string(c.limit) + " over " + std::to_string(c.connections));
        SchedulerStandIn scheduler;
        scheduler.list().speedLimit = c.limit;
        scheduler.list().maxTryNum = 1;
        scheduler.list().connectionsPerItem = c.connections;
        DownloadItem& item = scheduler.createItem(c.url);
        // The stepped pace of the default buffer would need 160 s for the large file: a run that
        // takes a quarter of that is stopped, so that a pace left stepped fails quickly.
        DWORD begin = GetTickCount();
        TransferRecord r = scheduler.run(item, c.ftp ? ftpTransfer : httpTransfer, [&](DownloadItem& i, const TransferRecord&) {
            if (GetTickCount() - begin > 40000) sharedWrite(i.state, uint8_t{StopRequested});
        });
        ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED}) << "stage " << int(item.failStage);
        EXPECT_TRUE(readFile(item.savePath) == c.expected) << "the file differs from the server's";
        double seconds = r.milliseconds / 1000.0;
        std::printf("%s at %d: %.2f s, %.1f MB/s\n", c.url.c_str(), c.limit, seconds, c.expected.size() / 1e6 / seconds);
        if (c.limit > 0) {
            // Never faster than the limit; slower only by what a loaded machine adds.
            double bound = c.expected.size() / (c.limit * 1024.0);
            EXPECT_GE(seconds, bound * 0.95);
            EXPECT_LE(seconds, bound * 1.5 + 1.0);
        }
        DeleteFileA(item.savePath);
    }
    DeleteFileA((servers.root + "\\free.bin").c_str());
    DeleteFileA((servers.ftpRoot + "\\free.bin").c_str());
}

}  // namespace
