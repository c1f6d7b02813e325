#include "lists/save_path_claims.h"
#include "common/cp932.h"
#include "common/save_name.h"
#include "common/text.h"
#include <algorithm>

namespace {

char foldedAt(std::string_view text, size_t i, bool single) {
    char c = text[i];
    return single && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string folded(std::string_view path) {
    std::string out(path);
    for (size_t i = 0; i < out.size(); i += charLength(out, i)) out[i] = foldedAt(out, i, charLength(out, i) == 1);
    return out;
}

// Whether `path` folded begins with `prefix` (folded already), without making a copy: every item
// of the program is looked at for each new one.
bool startsFolded(std::string_view path, std::string_view prefix) {
    if (path.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size();) {
        size_t n = charLength(path, i);
        if (foldedAt(path, i, n == 1) != prefix[i]) return false;
        if (n == 2 && (i + 1 >= prefix.size() || path[i + 1] != prefix[i + 1])) return false;
        i += n;
    }
    return true;
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
    // Paths of one folder differ in their names: looked at from the prefix's end, almost every path
    // is passed over after a byte or two. (Folding every letter there, trail bytes too, can only
    // let more through.)
    auto loose = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (size_t i = prefix_.size(); i-- > 0;)
        if (loose(path[i]) != loose(prefix_[i])) return;
    if (startsFolded(path, prefix_)) claimed_.push_back(folded(path));
}

int SavePathClaims::candidateNumber(std::string_view path) const {
    if (sameSavePath(path, folder_ + nameWithin(name_, "", room_))) return 1;
    // The number sits in the last " (n)" of the path, wherever the room cut the stem.
    size_t open = path.rfind(" (");
    if (open == std::string_view::npos) return 0;
    int n = 0;
    size_t i = open + 2;
    for (; i < path.size() && path[i] >= '0' && path[i] <= '9' && n < 100000; ++i) n = n * 10 + (path[i] - '0');
    if (n < 2 || i >= path.size() || path[i] != ')') return 0;
    return sameSavePath(path, folder_ + nameWithin(name_, " (" + std::to_string(n) + ")", room_)) ? n : 0;
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
