#include "lists/save_path_claims.h"
#include "common/cp932.h"
#include "common/save_name.h"
#include "common/text.h"
#include <algorithm>

namespace {

std::string folded(std::string_view path) {
    std::string out(path);
    for (size_t i = 0; i < out.size(); i += charLength(out, i))
        if (charLength(out, i) == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
    return out;
}

// Room for a name in `folder`. A folder that leaves none keeps the name's own limit: opening the
// file fails there whatever the name.
size_t nameRoom(std::string_view folder) {
    if (folder.size() + 1 > kMaxSavePathBytes) return kMaxNameBytes;
    return std::min(kMaxNameBytes, kMaxSavePathBytes - folder.size());
}

// The longest suffix a candidate can get (" (n)" for any n we could reach).
constexpr size_t kLongestSuffix = 13;
constexpr size_t kPrefixBytes = 8;

}  // namespace

bool sameSavePath(std::string_view a, std::string_view b) { return a.size() == b.size() && folded(a) == folded(b); }

SavePathClaims::SavePathClaims(std::string_view folder, std::string_view name)
    : folder_(folder), name_(name), room_(nameRoom(folder)) {
    // Every candidate's name starts with these bytes of the stem, however much of it the room cuts.
    std::string_view stem = name.substr(0, name.size() - extensionOf(name).size());
    size_t fixed = extensionOf(name).size() + kLongestSuffix;
    size_t keep = room_ > fixed ? std::min(kPrefixBytes, room_ - fixed) : 0;
    prefix_ = folded(folder) + folded(stem.substr(0, fittingLength(stem, keep)));
}

void SavePathClaims::note(std::string_view path) {
    if (path.size() < prefix_.size()) return;
    std::string key = folded(path);
    if (key.compare(0, prefix_.size(), prefix_) == 0) claimed_.push_back(std::move(key));
}

std::string SavePathClaims::freePath(bool* numbered) const {
    std::vector<std::string> claimed = claimed_;
    std::sort(claimed.begin(), claimed.end());
    // Among claimed.size() + 1 candidates at least one is free.
    for (size_t n = 1; n <= claimed.size() + 1; ++n) {
        std::string suffix = n == 1 ? std::string() : " (" + std::to_string(n) + ")";
        std::string path = folder_ + nameWithin(name_, suffix, room_);
        if (!std::binary_search(claimed.begin(), claimed.end(), folded(path))) {
            if (numbered) *numbered = n > 1;
            return path;
        }
    }
    return folder_ + name_;  // not reached
}
