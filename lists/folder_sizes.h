// The sizes of the files in save folders, each folder listed once. Reading thousands of items at
// start asks the file system for one listing per folder instead of one look per item.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

class FolderSizes {
  public:
    // True with the file's size when `path` names a file; false for a missing file or a folder.
    bool sizeOf(const char* path, uint64_t& size);

  private:
    using Listing = std::unordered_map<std::string, uint64_t>;  // upper-cased name -> size
    const Listing& listingOf(const std::string& folder);
    std::unordered_map<std::string, Listing> folders_;  // keyed by the upper-cased folder path
};
