#include "common/text.h"
#include "engine/http_transfer.h"
#include "engine/transfer_events.h"
#include "tests/engine/scheduler_stand_in.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

namespace {

// nginx gives each connection 2 MiB a second and logs "<end time> <seconds> <status> <uri> <range>".
TEST(RangeTransfer, Nginx_FourConnectionsAtOnceGiveTheSameBytes) {
    SchedulerStandIn scheduler;
    const TestServers& servers = testServers();
    std::string name = "ranges" + std::to_string(GetTickCount()) + ".bin";
    std::string source = contentBytes(0, 8 * 1024 * 1024 + 77);
    writeFile(servers.root + "\\" + name, source);
    scheduler.list().HTTP.port = servers.nginx;
    scheduler.list().connectionsPerItem = 4;
    copyText(scheduler.list().itemListFilePath, scheduler.temp.path() + "setting\\list.qvr");
    DownloadItem& item = scheduler.createItem("http://localhost/ranged/" + name);
    TransferRecord r = scheduler.run(item, httpTransfer);
    DeleteFileA((servers.root + "\\" + name).c_str());
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(readFile(item.savePath) == source);
    EXPECT_EQ(item.fetchedSize, source.size());
    EXPECT_TRUE(r.logged("info>4本の接続で取得 (取得済み 0バイト)"));
    EXPECT_FALSE(fileExists(std::string(item.savePath) + ".qvpart"));

    std::istringstream log(readFile(servers.state + "\\nginx-ranges.log"));
    std::vector<std::string> ranges;
    double firstEnd = 1e18, lastStart = 0;
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        double end = 0, seconds = 0;
        std::string status, uri, range;
        fields >> end >> seconds >> status >> uri >> range;
        if (uri != "/ranged/" + name || status != "206") continue;
        ranges.push_back(range);
        firstEnd = std::min(firstEnd, end);
        lastStart = std::max(lastStart, end - seconds);
    }
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=0-2097170", "bytes=2097171-4194341", "bytes=4194342-6291512",
                                                "bytes=6291513-8388684"}));
    EXPECT_LT(lastStart, firstEnd) << "every range was asked for before the first one ended";
}

}  // namespace
