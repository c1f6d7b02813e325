// How fast a transfer takes in its data: the pace a list asks for, the wait after each chunk that
// keeps to it, and how much one receive may take. Platform-free.
#pragma once
#include "lists/speed_limit.h"
#include <cstddef>
#include <cstdint>

// The receive buffer of the free and limited paces: a transfer at line speed takes in and writes
// large blocks, while buffSize keeps bounding reply and header lines.
constexpr size_t kFreeChunkSize = 256 * 1024;

// The pace of one data phase. Transfer thread.
struct Pace {
    int32_t limit = kPaceStepped;  // speedLimit of the try
    bool started = false;
    uint32_t lastTick = 0;         // millisecond clock of the last chunk
    int64_t aheadMicros = 0;       // how far the bytes so far are ahead of the limit's schedule
};

// The milliseconds to wait after a chunk of `bytes` taken in at `now` (a millisecond clock that
// may wrap).
uint32_t paceWait(Pace& pace, uint64_t bytes, uint32_t now);

// The most bytes one receive of the pace may take.
size_t paceChunkSize(int32_t limit, uint32_t buffSize);
