#include "engine/pace.h"

namespace {

// A limit forgives at most this much lost time (a late wake-up, a slow server) by letting the bytes
// that follow come faster: enough to make up for a sleep that overran, too little to let a burst
// after a stall push any ten seconds more than 1 % over the limit.
constexpr int64_t kSlackMicros = 100000;

uint64_t bytesPerSecond(int32_t limit) { return static_cast<uint64_t>(limit) * 1024; }

}  // namespace

uint32_t paceWait(Pace& pace, uint64_t bytes, uint32_t now) {
    if (pace.limit == kPaceStepped) return 10;
    if (pace.limit < 0) return 0;
    if (pace.started) {
        pace.aheadMicros -= static_cast<int64_t>(now - pace.lastTick) * 1000;
        if (pace.aheadMicros < -kSlackMicros) pace.aheadMicros = -kSlackMicros;
    }
    pace.started = true;
    pace.lastTick = now;
    pace.aheadMicros += static_cast<int64_t>(bytes * 1000000 / bytesPerSecond(pace.limit));
    return pace.aheadMicros > 0 ? static_cast<uint32_t>((pace.aheadMicros + 999) / 1000) : 0;
}

size_t paceChunkSize(int32_t limit, uint32_t buffSize) {
    if (limit == kPaceStepped) return buffSize;
    if (limit < 0) return kFreeChunkSize;
    // A tenth of a second of the limit at most, so that the waits stay short and even.
    uint64_t tenth = bytesPerSecond(limit) / 10;
    return tenth < kFreeChunkSize ? static_cast<size_t>(tenth) : kFreeChunkSize;
}
