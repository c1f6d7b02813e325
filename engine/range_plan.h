// How one item's bytes are shared among several connections: the ranges a plan starts with, and
// the range a connection that ran out of work takes over from a running one. Platform-free.
#pragma once
#include "lists/download_list.h"
#include <cstdint>
#include <string_view>
#include <vector>

// A stretch of an item's bytes, from `begin` up to but not including `end`.
struct ByteRange {
    uint64_t begin = 0;
    uint64_t end = 0;
    uint64_t size() const { return end - begin; }
    bool operator==(const ByteRange&) const = default;
};

// Below this a range is not worth a connection of its own: the request, the response head and a
// TLS handshake would cost more than fetching the bytes over a running connection.
constexpr uint64_t kMinRangeSize = uint64_t{1} << 20;
// Smaller items keep to one connection whatever the setting says.
constexpr uint64_t kMinSplitTotal = 2 * kMinRangeSize;

// The ranges to fetch at once for the bytes still `missing` (sorted, apart): each missing stretch
// is one range, and the largest range is halved while there are fewer than `connections` ranges
// and its halves keep kMinRangeSize each. More missing stretches than connections are left to
// the ranges' later take-overs: the plan then holds the first `connections` stretches only.
std::vector<ByteRange> planRanges(const std::vector<ByteRange>& missing, int connections);

// A connection that finished its range takes over the second half of the largest of the others'
// `remaining` ranges (each from the byte its connection reads next to its end), if both halves keep
// `least` bytes, and kMinRangeSize at any rate. On success the largest range's end is moved to the
// split point, `taken` is the rest, and the result is the index of the range that was cut;
// otherwise -1.
int takeOverHalf(std::vector<ByteRange>& remaining, ByteRange& taken, uint64_t least = kMinRangeSize);

// The least half worth taking over, judged by a connection that brought `bytes` in `flowMs` after
// `setupMs` from its request to its first byte: as many bytes as a running connection brings while
// a new one gets going (a smaller half is done sooner by the connection that has it), and
// kMinRangeSize at least.
uint64_t leastTakeOver(uint64_t bytes, uint32_t setupMs, uint32_t flowMs);

// Adds `range` to the sorted, apart `done` ranges, merging it with those it touches or overlaps.
void addDone(std::vector<ByteRange>& done, ByteRange range);

// The stretches of [0, total) that the sorted, apart `done` ranges leave out.
std::vector<ByteRange> missingRanges(const std::vector<ByteRange>& done, uint64_t total);

// The bytes the done ranges hold, and those of them that run on unbroken from byte 0: all a
// single connection can resume from.
uint64_t doneBytes(const std::vector<ByteRange>& done);
uint64_t donePrefix(const std::vector<ByteRange>& done);

struct HeaderScan;

// Whether the rest of an item may go over several connections, judged from its first response: a
// known total of at least kMinSplitTotal, and ranges that the server answered (a partial response)
// or offered (Accept-Ranges: bytes beside a plain response's length), in no chunked framing and no
// content encoding (whose bytes are not the file's).
bool rangesUsable(const HeaderScan& scan, uint64_t total);

// What the response of a connection asking for `asked` of the item holds.
enum class RangeAnswer : uint8_t {
    Asked,      // exactly the bytes asked for, of the version and total the item is fetched in
    WholeFile,  // the whole resource (the Range line ignored): ranges are no longer to be had
    OtherFile,  // another version or total: the bytes of the connections would not fit together
    Unusable,   // another range, a chunked or contradicting one: nothing to write at its place
};
// `validator` and `total`: those of the item's first response.
RangeAnswer rangeAnswer(const HeaderScan& scan, ByteRange asked, std::string_view validator, uint64_t total);

// Whether several connections together brought the item's bytes clearly (a quarter) faster than one
// alone did: a server that holds each connection back gives each one its pace, while a line that
// one connection already fills only shares it out among them, and each more costs work. One
// connection's pace is the middle one of its slices of `sliceMs` (the bytes of each): many servers
// let a connection's first second through at once, or a little more at each second's turn.
bool connectionsHelp(std::vector<uint64_t> aloneSlices, uint32_t sliceMs, uint64_t togetherBytes, uint32_t togetherMs);
