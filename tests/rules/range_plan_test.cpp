#include "engine/http_header.h"
#include "engine/part_state.h"
#include "engine/range_plan.h"
#include "lists/item_list_format.h"
#include <gtest/gtest.h>

namespace {

constexpr uint64_t M = kMinRangeSize;
using Ranges = std::vector<ByteRange>;

TEST(RangePlan, SplitsTheMissingBytesAmongTheConnections) {
    struct Case {
        const char* what;
        Ranges missing;
        int connections;
        Ranges plan;
    } cases[] = {
        {"one connection: the whole", {{0, 10 * M}}, 1, {{0, 10 * M}}},
        {"even quarters", {{0, 8 * M}}, 4, {{0, 2 * M}, {2 * M, 4 * M}, {4 * M, 6 * M}, {6 * M, 8 * M}}},
        {"three: the largest halved first, the first of equals", {{0, 8 * M}}, 3, {{0, 2 * M}, {2 * M, 4 * M}, {4 * M, 8 * M}}},
        {"halves below the least are not made", {{0, 3 * M}}, 4, {{0, 3 * M / 2}, {3 * M / 2, 3 * M}}},
        {"just under two least ranges: one", {{0, 2 * M - 1}}, 16, {{0, 2 * M - 1}}},
        {"no connections asked: one", {{0, 4 * M}}, 0, {{0, 4 * M}}},
        {"more than allowed: sixteen", {{0, 64 * M}}, 99, [] { Ranges r; for (uint64_t i = 0; i < 16; ++i) r.push_back({i * 4 * M, (i + 1) * 4 * M}); return r; }()},
        {"resumed: the gaps, the largest split", {{0, M}, {5 * M, 13 * M}}, 4, {{0, M}, {5 * M, 7 * M}, {7 * M, 9 * M}, {9 * M, 13 * M}}},
        {"more gaps than connections: the first ones", {{0, 1}, {5, 6}, {9, 10}}, 2, {{0, 1}, {5, 6}}},
        {"nothing missing", {}, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(planRanges(c.missing, c.connections), c.plan);
    }
}

TEST(RangePlan, AFinishedConnectionTakesOverHalfTheLargestRemaining) {
    struct Case {
        const char* what;
        Ranges remaining;
        int cut;
        Ranges after;
        ByteRange taken;
        uint64_t least = kMinRangeSize;
    } cases[] = {
        {"the largest is halved", {{3 * M, 3 * M}, {5 * M, 9 * M}, {10 * M, 13 * M}}, 1,
         {{3 * M, 3 * M}, {5 * M, 7 * M}, {10 * M, 13 * M}}, {7 * M, 9 * M}},
        {"an odd size: the running one keeps the smaller half", {{0, 4 * M + 1}}, 0, {{0, 2 * M}}, {2 * M, 4 * M + 1}},
        {"halves under the least: nothing taken", {{0, 2 * M - 1}, {3 * M, 4 * M}}, -1, {{0, 2 * M - 1}, {3 * M, 4 * M}}, {}},
        {"none running", {}, -1, {}, {}},
        {"halves a new connection would not reach in time", {{0, 6 * M - 2}}, -1, {{0, 6 * M - 2}}, {}, 3 * M},
        {"halves it would", {{0, 6 * M}}, 0, {{0, 3 * M}}, {3 * M, 6 * M}, 3 * M},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.what);
        ByteRange taken;
        EXPECT_EQ(takeOverHalf(c.remaining, taken, c.least), c.cut);
        EXPECT_EQ(c.remaining, c.after);
        if (c.cut >= 0) {
            EXPECT_EQ(taken, c.taken);
        }
    }
}

TEST(RangePlan, DoneRangesMergeAndLeaveTheMissingOnes) {
    Ranges done;
    for (ByteRange range : {ByteRange{10, 20}, {30, 40}, {0, 5}, {20, 25}, {50, 50}, {24, 31}}) addDone(done, range);
    EXPECT_EQ(done, (Ranges{{0, 5}, {10, 40}}));
    EXPECT_EQ(missingRanges(done, 60), (Ranges{{5, 10}, {40, 60}}));
    EXPECT_EQ(doneBytes(done), 35u);
    EXPECT_EQ(donePrefix(done), 5u);
    addDone(done, {5, 10});
    EXPECT_EQ(done, (Ranges{{0, 40}}));
    EXPECT_EQ(missingRanges(done, 40), Ranges{});
    EXPECT_EQ(donePrefix(Ranges{{1, 9}}), 0u);
}

// The scan of a response given as its header lines.
HeaderScan scanOf(std::initializer_list<std::string> lines) {
    HeaderScan scan;
    std::string location;
    for (std::string line : lines) interpretHeaderLine(line.data(), line.size(), scan, location);
    return scan;
}

TEST(RangePlan, ResponsesDecideWhetherRangesAreUsed) {
    const std::string etag = "ETag: \"v1\"";
    struct Case {
        const char* what;
        std::initializer_list<std::string> lines;
        bool usable;                          // as the item's first response, of 4 MiB
        RangeAnswer answer;                   // as the answer to bytes 1-2 MiB, of the same file
    } cases[] = {
        {"a range answered", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304", etag}, true, RangeAnswer::Asked},
        {"the validator gone", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304"}, true, RangeAnswer::OtherFile},
        {"a length beside the range that fits", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304", "Content-Length: 1048576", etag}, true, RangeAnswer::Asked},
        {"ranges offered beside a length", {"HTTP/1.1 200 OK", "Accept-Ranges: bytes", "Content-Length: 4194304", etag}, true, RangeAnswer::WholeFile},
        {"ranges refused", {"HTTP/1.1 200 OK", "Accept-Ranges: none", "Content-Length: 4194304", etag}, false, RangeAnswer::WholeFile},
        {"no length", {"HTTP/1.1 200 OK", "Accept-Ranges: bytes", etag}, false, RangeAnswer::WholeFile},
        {"chunked", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304", "Transfer-Encoding: chunked", etag}, false, RangeAnswer::Unusable},
        {"another version", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304", "ETag: \"v2\""}, true, RangeAnswer::OtherFile},
        {"another total", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194305", etag}, false, RangeAnswer::OtherFile},
        {"an unknown total", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/*", etag}, false, RangeAnswer::OtherFile},
        {"another range", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-4194303/4194304", etag}, true, RangeAnswer::Unusable},
        {"a range with no end", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-/4194304", etag}, true, RangeAnswer::Unusable},
        {"encoded", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304", "Content-Encoding: gzip", etag}, false, RangeAnswer::Unusable},
        {"a length that is not the range's", {"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304", "Content-Length: 10", etag}, true, RangeAnswer::Unusable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HeaderScan scan = scanOf(c.lines);
        EXPECT_EQ(rangesUsable(scan, 4 * M), c.usable);
        EXPECT_EQ(rangeAnswer(scan, {M, 2 * M}, "E\"v1\"", 4 * M), c.answer);
    }
    EXPECT_FALSE(rangesUsable(scanOf({"HTTP/1.1 200 OK", "Accept-Ranges: bytes", "Content-Length: 2097151"}), 2 * M - 1))
        << "too small to split";
    EXPECT_EQ(rangeAnswer(scanOf({"HTTP/1.1 206 Partial", "Content-Range: bytes 1048576-2097151/4194304"}), {M, 2 * M}, "", 4 * M),
              RangeAnswer::Asked) << "the total alone, when no validator was ever named";
}

TEST(RangePlan, ConnectionsAreAddedOnlyWhereTheyGainTime) {
    EXPECT_EQ(leastTakeOver(300 * M, 80, 100), 240 * M) << "loopback: 80 ms to start is 240 MB";
    EXPECT_EQ(leastTakeOver(5 * M, 80, 1000), kMinRangeSize) << "5 MB/s: 400 KB, below the least range";
    EXPECT_EQ(leastTakeOver(M, 80, 0), 80 * M) << "no time measured: counted as a millisecond";
    EXPECT_TRUE(connectionsHelp({50, 50, 50}, 10, 1000, 50)) << "each connection kept its pace: four times as fast";
    EXPECT_TRUE(connectionsHelp({40, 40, 40}, 10, 500, 100)) << "a quarter faster";
    EXPECT_FALSE(connectionsHelp({40, 40, 40}, 10, 499, 100)) << "less than a quarter faster";
    EXPECT_FALSE(connectionsHelp({80, 80, 30, 80, 80}, 10, 700, 100)) << "a full line shared out, one slice slowed";
    EXPECT_TRUE(connectionsHelp({5000, 0, 10, 10, 3000}, 10, 600, 100)) << "a first second let through at once";
    EXPECT_TRUE(connectionsHelp({}, 10, 0, 50)) << "the first brought nothing: the others are not judged by it";
}

TEST(PartState, ReadsBackWhatWasWrittenAndNothingFromAnyOtherText) {
    PartState state{100, "E\"v1\"", {{0, 10}, {20, 30}, {90, 100}}};
    std::string text = partStateText(state);
    EXPECT_EQ(text, "QVPART 1\ntotal 100\nvalidator E\"v1\"\ndone 0 10\ndone 20 30\ndone 90 100\nend\n");
    PartState read;
    ASSERT_TRUE(readPartState(text, 100, read));
    EXPECT_EQ(read.total, 100u);
    EXPECT_EQ(read.validator, "E\"v1\"");
    EXPECT_EQ(read.done, state.done);

    ASSERT_TRUE(readPartState(text, 25, read)) << "a shorter part file";
    EXPECT_EQ(read.done, (Ranges{{0, 10}, {20, 25}}));
    EXPECT_EQ(partStatePath("C:\\q\\setting\\default.qvr", "D:\\a.zip"), "C:\\q\\setting\\default-" +
              partStatePath("", "D:\\a.zip").substr(1));
    EXPECT_NE(partStatePath("x.qvr", "D:\\a.zip"), partStatePath("x.qvr", "D:\\b.zip"));
    EXPECT_EQ(partStateOwner(partStatePath("x-y.qvr", "D:\\a.zip")), "x-y");
    EXPECT_TRUE(partStateOwner("x-0123456789abcdeg.qvs").empty() && partStateOwner("x0123456789abcdef.qvs").empty());
    ASSERT_TRUE(readPartState(partStateText({7, "", {}}), 0, read));
    EXPECT_EQ(read.validator, "");

    const char* refused[] = {
        "",
        "QVPART 1\ntotal 100\nvalidator\ndone 0 10\n",               // cut before the end line
        "QVPART 1\ntotal 100\nvalidator\ndone 0 10\nend",            // the last LF missing
        "QVPART 1\ntotal 100\nvalidator\ndone 0 1",                  // torn in a line
        "QVPART 1\ntotal 100\nvalidator\nend\nend\n",                // more after the end
        "QVPART 2\ntotal 100\nvalidator\nend\n",
        "QVPART 1\r\ntotal 100\r\nvalidator\r\nend\r\n",
        "QVPART 1\ntotal 0\nvalidator\nend\n",
        "QVPART 1\ntotal -1\nvalidator\nend\n",
        "QVPART 1\ntotal 100\nvalidator \nend\n",
        "QVPART 1\ntotal 100\nvalidator\ndone 0 101\nend\n",          // past the total
        "QVPART 1\ntotal 100\nvalidator\ndone 5 5\nend\n",
        "QVPART 1\ntotal 100\nvalidator\ndone 20 30\ndone 0 10\nend\n",  // not ascending
        "QVPART 1\ntotal 100\nvalidator\ndone 0 10\ndone 10 20\nend\n",  // touching: never written
        "QVPART 1\ntotal 100\nvalidator\ndone 0  10\nend\n",
        "QVPART 1\ntotal 100\nvalidator\ndone +0 10\nend\n",
        "QVPART 1\ntotal 100\nvalidator\ndone 0 1x\nend\n",
        "QVPART 1\ntotal 9999999999999999999\nvalidator\nend\n",
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        read.total = 1;
        EXPECT_FALSE(readPartState(text, 1000, read));
        EXPECT_EQ(read.total, 0u);
        EXPECT_TRUE(read.done.empty());
    }
}

}  // namespace
