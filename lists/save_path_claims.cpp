#include "lists/save_path_claims.h"
#include "common/name_case.h"
#include "common/save_name.h"
#include <algorithm>
#include <vector>

namespace {

// Room for a name in `folder`. A folder that leaves none keeps the name's own limit: opening the
// file fails there whatever the name.
size_t nameRoom(std::string_view folder) {
    if (folder.size() + 1 > kMaxSavePathBytes) return kMaxNameBytes;
    return std::min(kMaxNameBytes, kMaxSavePathBytes - folder.size());
}

std::string candidate(std::string_view folder, std::string_view name, size_t room, uint32_t n) {
    std::string path(folder);
    path += nameWithin(name, n == 1 ? std::string() : " (" + std::to_string(n) + ")", room);
    return path;
}

// Candidates a search may find refused by files on disk, beyond those the claims explain.
constexpr size_t kMostRefusedOnDisk = 1000;

// An item fetched over several connections also writes "<save path>.qvpart": a path claims that
// one too, and a path that is itself such a name claims the save path it would be the part of.
constexpr std::string_view kPartSuffix = ".qvpart";

std::vector<std::string> claimedBy(std::string_view path) {
    std::vector<std::string> keys{nameKey(path), nameKey(std::string(path) + std::string(kPartSuffix))};
    if (path.size() > kPartSuffix.size() && sameName(path.substr(path.size() - kPartSuffix.size()), kPartSuffix))
        keys.push_back(nameKey(path.substr(0, path.size() - kPartSuffix.size())));
    return keys;
}

}  // namespace

bool sameSavePath(std::string_view a, std::string_view b) { return sameName(a, b); }

int candidateNumber(std::string_view folder, std::string_view name, std::string_view path) {
    size_t room = nameRoom(folder);
    if (sameSavePath(path, candidate(folder, name, room, 1))) return 1;
    // The number sits in the last " (n)" of the path, wherever the room cut the stem.
    size_t open = path.rfind(" (");
    if (open == std::string_view::npos) return 0;
    uint32_t n = 0;
    size_t i = open + 2;
    for (; i < path.size() && path[i] >= '0' && path[i] <= '9' && n < 100000; ++i) n = n * 10 + (path[i] - '0');
    if (n < 2 || i >= path.size() || path[i] != ')') return 0;
    return sameSavePath(path, candidate(folder, name, room, n)) ? static_cast<int>(n) : 0;
}

void SavePathIndex::add(std::string_view path) {
    if (path.empty()) return;
    for (const std::string& key : claimedBy(path)) {
        ++claims_[key];
        ++count_;
    }
}

void SavePathIndex::remove(std::string_view path) {
    if (path.empty() || claims_.find(nameKey(path)) == claims_.end()) return;
    for (const std::string& key : claimedBy(path)) {
        auto it = claims_.find(key);
        if (it == claims_.end()) continue;
        if (--it->second == 0) claims_.erase(it);
        --count_;
    }
    firstUnclaimed_.clear();
}

std::string SavePathIndex::freePath(std::string_view folder, std::string_view name, std::string_view own,
                                    bool* numbered, Taken taken) {
    size_t room = nameRoom(folder);
    std::string hintKey = nameKey(folder);
    hintKey.append(1, '\0').append(nameKey(name));
    uint32_t& hint = firstUnclaimed_[hintKey];
    hint = std::max<uint32_t>(hint, 1);
    // Below the hint every candidate is claimed; the item's own one among them is still its own.
    int ownNumber = own.empty() ? 0 : candidateNumber(folder, name, own);
    uint32_t n = ownNumber > 0 ? std::min(hint, static_cast<uint32_t>(ownNumber)) : hint;
    // Distinct candidates claimed by others are at most count_; a cut that makes two numbers one
    // path only repeats a claimed one. So the search is bounded, whatever the names and the room.
    size_t refusedOnDisk = 0;
    for (size_t looked = 0; looked <= count_ + kMostRefusedOnDisk; ++looked, ++n) {
        std::string path = candidate(folder, name, room, n);
        bool isOwn = !own.empty() && sameSavePath(path, own);
        if (!isOwn && claims_.count(nameKey(path)) != 0) {
            if (n == hint) ++hint;
            continue;
        }
        if (!isOwn && taken && taken(path)) {
            if (++refusedOnDisk > kMostRefusedOnDisk) break;
            continue;
        }
        if (numbered) *numbered = n > 1;
        return path;
    }
    return {};
}
