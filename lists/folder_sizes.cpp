#include "lists/folder_sizes.h"
#include "common/url_rules.h"
#include <windows.h>

namespace {

// File names compare without regard to case; CharUpperBuffA knows the double-byte characters.
std::string upperCased(std::string text) {
    if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

const FolderSizes::Listing& FolderSizes::listingOf(const std::string& folder) {
    std::string key = upperCased(folder);
    auto found = folders_.find(key);
    if (found != folders_.end()) return found->second;
    Listing& listing = folders_[key];
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return listing;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        listing[upperCased(entry.cFileName)] = uint64_t{entry.nFileSizeHigh} << 32 | entry.nFileSizeLow;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return listing;
}

bool FolderSizes::sizeOf(const char* path, uint64_t& size) {
    std::string_view whole = path;
    std::string folder = containingFolder(whole);
    if (folder.empty() || folder.size() == whole.size()) return false;  // no folder, or a folder itself
    const Listing& listing = listingOf(folder);
    auto found = listing.find(upperCased(std::string(whole.substr(folder.size()))));
    if (found == listing.end()) return false;
    size = found->second;
    return true;
}
