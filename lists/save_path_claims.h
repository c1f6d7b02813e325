// No two items of the program share a save path: a new item's path, or the one a server's name
// gives, is the first of "name.ext", "name (2).ext", "name (3).ext" ... in its folder that no other
// item claims. Files on disk that no item owns do not count: such a file is resumed. Pure.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Whether two save paths name one file: Windows compares names without regard to the case of
// ASCII letters (a double-byte character's trail byte is never folded).
bool sameSavePath(std::string_view a, std::string_view b);

// The paths the caller's items claim that could collide with a path for `name` in `folder`.
class SavePathClaims {
  public:
    SavePathClaims(std::string_view folder, std::string_view name);
    // One item's save path. Only paths that could be one of the candidates are kept.
    void note(std::string_view path);
    // The first candidate no noted path claims, each fitted into kMaxSavePathBytes where the
    // folder leaves room. `numbered` says whether it is one with " (n)".
    std::string freePath(bool* numbered = nullptr) const;
    // Which candidate `path` is: 1 for the plain one, n for the one with " (n)", 0 for none.
    int candidateNumber(std::string_view path) const;

  private:
    std::string folder_;
    std::string name_;
    std::string prefix_;  // folded: the folder and the first bytes every candidate's name starts with
    size_t room_;
    std::vector<std::string> claimed_;  // folded
};
