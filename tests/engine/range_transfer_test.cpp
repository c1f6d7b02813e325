#include "common/text.h"
#include "engine/http_transfer.h"
#include "engine/transfer_events.h"
#include "lists/speed_limit.h"
#include "tests/engine/scheduler_stand_in.h"
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>

namespace {

struct RangeTransfer : ::testing::Test {
    SchedulerStandIn scheduler;
    const TestServers& servers = testServers();
    std::string name = "ranges" + std::to_string(GetTickCount()) + ".bin";
    std::string source = contentBytes(0, 8 * 1024 * 1024 + 77);

    // An item of a list with four connections, for a file of its own on a server that gives each
    // connection 2 MiB a second.
    DownloadItem& rangedItem() {
        writeFile(servers.root + "\\" + name, source);
        scheduler.list().HTTP.port = servers.nginx;
        scheduler.list().connectionsPerItem = 4;
        copyText(scheduler.list().itemListFilePath, scheduler.temp.path() + "list.qvr");
        return scheduler.createItem("http://localhost/ranged/" + name);
    }
    ~RangeTransfer() override { DeleteFileA((servers.root + "\\" + name).c_str()); }
};

// nginx gives each connection 2 MiB a second and logs "<end time> <seconds> <status> <uri> <range>".
TEST_F(RangeTransfer, Nginx_FourConnectionsAtOnceGiveTheSameBytes) {
    DownloadItem& item = rangedItem();
    TransferRecord r = scheduler.run(item, httpTransfer);
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

// Each range connection sets up a TLS session of its own; at the free pace the first response's own
// body comes first (a server that gives each connection 2 MiB a second).
TEST_F(RangeTransfer, Https_RangesGoOverTlsSessionsOfTheirOwn) {
    ASSERT_TRUE(trustTestCa());
    writeFile(servers.root + "\\" + name, source);
    scheduler.list().connectionsPerItem = 4;
    scheduler.list().speedLimit = kPaceFree;
    DownloadItem& item = scheduler.createItem("https://localhost:" + std::to_string(servers.https) + "/ranged/" + name);
    TransferRecord r = scheduler.run(item, httpTransfer);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(readFile(item.savePath) == source);
    EXPECT_GE(r.countLines("info>TLS ("), 2);
    EXPECT_GE(r.countLines("info>範囲 "), 1);
}

TEST_F(RangeTransfer, Nginx_AStoppedItemAsksOnlyForTheMissingRangesAfterwardsEvenOverOne) {
    DownloadItem& item = rangedItem();
    TransferRecord stopped = scheduler.run(item, httpTransfer, [](DownloadItem& i, const TransferRecord&) {
        if (sharedRead(i.fetchedSize) > 3 * 1024 * 1024) i.state = StopRequested;
    });
    ASSERT_EQ(stopped.outcomes, std::vector<uint32_t>{CMD_STOPPED});
    EXPECT_EQ(readFile(item.savePath), "") << "the save file gets no byte before all are there";
    uint64_t done = item.fetchedSize;
    ASSERT_LT(done, source.size());

    // Set to one connection since: it goes through the four missing stretches one after another.
    scheduler.list().connectionsPerItem = 1;
    TransferRecord resumed = scheduler.run(item, httpTransfer);
    ASSERT_EQ(resumed.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(readFile(item.savePath) == source);
    EXPECT_TRUE(resumed.logged("info>1本の接続で取得 (取得済み " + std::to_string(done) + "バイト)"));
    EXPECT_EQ(item.tryCount, 1) << "no stretch is left to a further try";
    uint64_t asked = 0;
    for (const std::string& line : resumed.log) {
        unsigned long long first = 0, last = 0;
        if (std::sscanf(line.c_str(), "info>範囲 %llu-%llu", &first, &last) == 2) asked += last + 1 - first;
    }
    EXPECT_EQ(asked, source.size() - done);
}

}  // namespace
