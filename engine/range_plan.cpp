#include "engine/range_plan.h"
#include <algorithm>

namespace {

size_t largest(const std::vector<ByteRange>& ranges) {
    size_t best = 0;
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].size() > ranges[best].size()) best = i;
    return best;
}

}  // namespace

std::vector<ByteRange> planRanges(const std::vector<ByteRange>& missing, int connections) {
    size_t wanted = static_cast<size_t>(std::clamp(connections, 1, kMaxConnectionsPerItem));
    std::vector<ByteRange> plan;
    for (const ByteRange& range : missing)
        if (range.size() > 0 && plan.size() < wanted) plan.push_back(range);
    while (!plan.empty() && plan.size() < wanted) {
        size_t cut = largest(plan);
        if (plan[cut].size() < 2 * kMinRangeSize) break;
        uint64_t middle = plan[cut].begin + plan[cut].size() / 2;
        plan.insert(plan.begin() + static_cast<std::ptrdiff_t>(cut) + 1, ByteRange{middle, plan[cut].end});
        plan[cut].end = middle;
    }
    return plan;
}

int takeOverHalf(std::vector<ByteRange>& remaining, ByteRange& taken) {
    if (remaining.empty()) return -1;
    size_t cut = largest(remaining);
    ByteRange& range = remaining[cut];
    if (range.size() < 2 * kMinRangeSize) return -1;
    uint64_t middle = range.begin + range.size() / 2;
    taken = {middle, range.end};
    range.end = middle;
    return static_cast<int>(cut);
}

void addDone(std::vector<ByteRange>& done, ByteRange range) {
    if (range.size() == 0) return;
    auto first = std::find_if(done.begin(), done.end(), [&](const ByteRange& r) { return r.end >= range.begin; });
    auto last = first;
    while (last != done.end() && last->begin <= range.end) {
        range.begin = std::min(range.begin, last->begin);
        range.end = std::max(range.end, last->end);
        ++last;
    }
    done.insert(done.erase(first, last), range);
}

std::vector<ByteRange> missingRanges(const std::vector<ByteRange>& done, uint64_t total) {
    std::vector<ByteRange> missing;
    uint64_t at = 0;
    for (const ByteRange& range : done) {
        if (range.begin >= total) break;
        if (range.begin > at) missing.push_back({at, range.begin});
        at = std::max(at, range.end);
    }
    if (at < total) missing.push_back({at, total});
    return missing;
}

uint64_t doneBytes(const std::vector<ByteRange>& done) {
    uint64_t bytes = 0;
    for (const ByteRange& range : done) bytes += range.size();
    return bytes;
}

uint64_t donePrefix(const std::vector<ByteRange>& done) {
    return !done.empty() && done.front().begin == 0 ? done.front().end : 0;
}
