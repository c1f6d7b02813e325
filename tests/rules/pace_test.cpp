#include "engine/pace.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

// Each row feeds one data phase chunk by chunk: a chunk of `bytes` taken in at `now`, and the wait
// that must follow it.
TEST(Pace, WaitsAfterEachChunkAndChunkSizes) {
    struct Step {
        uint64_t bytes;
        uint32_t now;
        uint32_t wait;
    };
    struct Case {
        const char* what;
        int32_t limit;
        uint32_t buffSize;
        size_t chunk;
        std::vector<Step> steps;
    } cases[] = {
        {"stepped: 10 ms after every chunk, whatever its size", kPaceStepped, 4096, 4096,
         {{4096, 0, 10}, {1, 10, 10}, {4096, 5000, 10}}},
        {"stepped keeps the largest buffer", kPaceStepped, 32767, 32767, {{32767, 0, 10}}},
        {"free: never a wait", kPaceFree, 4096, 256 * 1024, {{262144, 0, 0}, {262144, 0, 0}, {1, 1, 0}}},
        // 1000 KB/s: 102400 bytes are a tenth of a second.
        {"limit: a chunk waits as long as the limit needs for it", 1000, 4096, 102400,
         {{102400, 0, 100}, {102400, 100, 100}, {51200, 200, 50}}},
        {"limit: a wait that overran is made up for", 1000, 4096, 102400,
         {{102400, 0, 100}, {102400, 130, 70}, {102400, 230, 70}}},
        {"limit: time already spent receiving counts", 1000, 4096, 102400,
         {{102400, 0, 100}, {102400, 180, 20}}},
        {"limit: after a stall at most 100 ms are made up for", 1000, 4096, 102400,
         {{102400, 0, 100}, {102400, 5000, 0}, {102400, 5000, 100}, {102400, 5100, 100}}},
        {"limit: the clock wraps", 1000, 4096, 102400,
         {{102400, 0xFFFFFFF0u, 100}, {102400, 0x54u, 100}}},
        {"limit: a part of a millisecond is waited as a whole one", 1000000, 4096, 256 * 1024,
         {{1024, 0, 1}, {1024, 0, 1}}},
        {"lowest limit: 102 bytes a receive", 1, 4096, 102, {{102, 0, 100}, {1024, 100, 1000}}},
        {"highest limit: the whole buffer", kMaxSpeedLimit, 4096, 256 * 1024, {{262144, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(paceChunkSize(c.limit, c.buffSize), c.chunk);
        Pace pace{c.limit};
        for (size_t i = 0; i < c.steps.size(); ++i)
            EXPECT_EQ(paceWait(pace, c.steps[i].bytes, c.steps[i].now), c.steps[i].wait) << "chunk " << i;
    }
}

}  // namespace
