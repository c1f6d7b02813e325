// No two items of the program share a save path: a new item's path, or the one a server's name
// gives, is the first of "name.ext", "name (2).ext", "name (3).ext" ... in its folder that no other
// item claims. Files on disk that no item owns do not count at registration: such a file is
// resumed. Pure.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

// Whether two save paths name one file, compared as Windows compares names (common/name_case.h).
bool sameSavePath(std::string_view a, std::string_view b);

// Which candidate for `name` in `folder` the path is: 1 for the plain one, n for the one with
// " (n)", 0 for none.
int candidateNumber(std::string_view folder, std::string_view name, std::string_view path);

// The save paths every item of the program claims, kept up to date as paths are given and given
// up, so that a search looks up its candidates instead of reading every item.
class SavePathIndex {
  public:
    // Whether a candidate that no item claims is still taken (a file on disk nobody owns).
    using Taken = bool (*)(const std::string& path);

    void add(std::string_view path);
    // Gives up one claim of `path`, which must have been added.
    void remove(std::string_view path);

    // The first candidate for `name` in `folder`, each fitted into kMaxSavePathBytes where the
    // folder leaves room, that no item claims but the one at `own`, and that `taken` (when given)
    // does not refuse; `own` itself is never refused. `numbered` says whether it is one with " (n)".
    // Empty when none of the candidates the search may look at is free: it always ends, after at
    // most one candidate per claim and a bounded number refused by `taken`.
    std::string freePath(std::string_view folder, std::string_view name, std::string_view own = {},
                         bool* numbered = nullptr, Taken taken = nullptr);

  private:
    std::unordered_map<std::string, uint32_t> claims_;  // by nameKey: how many items claim it
    // By folder and name: a number below which every candidate was claimed when it was last looked
    // at. Claims given up may free any of them, so those forget every hint.
    std::unordered_map<std::string, uint32_t> firstUnclaimed_;
    size_t count_ = 0;
};
