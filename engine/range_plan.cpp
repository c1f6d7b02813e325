#include "engine/range_plan.h"
#include "engine/http_header.h"
#include "engine/validator.h"
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

int takeOverHalf(std::vector<ByteRange>& remaining, ByteRange& taken, uint64_t least) {
    if (remaining.empty()) return -1;
    size_t cut = largest(remaining);
    ByteRange& range = remaining[cut];
    if (range.size() / 2 < std::max(least, kMinRangeSize)) return -1;
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

bool rangesUsable(const HeaderScan& scan, uint64_t total) {
    if (total < kMinSplitTotal || scan.chunked || !scan.contentEncoding.empty()) return false;
    if (scan.rangeFirst != -1) return scan.rangeTotal == static_cast<int64_t>(total);
    return scan.acceptsRanges && scan.contentLength == static_cast<int64_t>(total);
}

RangeAnswer rangeAnswer(const HeaderScan& scan, ByteRange asked, std::string_view validator, uint64_t total) {
    if (scan.rangeFirst == -1) return RangeAnswer::WholeFile;
    std::string now = httpValidator(scan.etag, scan.lastModified);
    uint64_t nowTotal = scan.rangeTotal < 0 ? 0 : static_cast<uint64_t>(scan.rangeTotal);
    // Either side may name no validator (the item's first response had none): then the totals alone
    // must agree, and an unknown total will not do.
    if (serverFileChanged(validator, total, now, nowTotal) || nowTotal != total || validator.empty() != now.empty())
        return RangeAnswer::OtherFile;
    bool exact = static_cast<uint64_t>(scan.rangeFirst) == asked.begin && scan.rangeLast != -1 &&
                 static_cast<uint64_t>(scan.rangeLast) + 1 == asked.end &&
                 (scan.contentLength == -1 || static_cast<uint64_t>(scan.contentLength) == asked.size());
    return exact && !scan.chunked && scan.contentEncoding.empty() ? RangeAnswer::Asked : RangeAnswer::Unusable;
}

uint64_t leastTakeOver(uint64_t bytes, uint32_t setupMs, uint32_t flowMs) {
    // Beyond a minute either way the estimate says nothing more; the bound keeps the product small.
    constexpr uint32_t kLongest = 60000;
    uint64_t worth = bytes / std::max<uint32_t>(1, std::min(flowMs, kLongest)) * std::min(setupMs, kLongest);
    return std::max(worth, kMinRangeSize);
}

bool connectionsHelp(std::vector<uint64_t> aloneSlices, uint32_t sliceMs, uint64_t togetherBytes, uint32_t togetherMs) {
    if (aloneSlices.empty()) return true;
    auto middle = aloneSlices.begin() + static_cast<ptrdiff_t>(aloneSlices.size() / 2);
    std::nth_element(aloneSlices.begin(), middle, aloneSlices.end());
    // togetherBytes / togetherMs >= 5/4 * *middle / sliceMs, without a division
    return togetherBytes * sliceMs * 4 >= *middle * togetherMs * 5;
}
