// The item-list file (".qvr"): four text lines per item — URL, save path, total size, finished
// flag — each ending CR CR LF on disk. Pure: reading and writing work on byte buffers.
//
// A URL is written whole, up to kMaxUrlLength characters. Versions that held URLs in 1024 bytes
// read lines of at most 1023 characters, so a list holding a longer URL is one they cannot read
// (its records fall out of step); a list without one is written byte for byte as they wrote it.
#pragma once
#include "common/url_rules.h"
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One record as read back. Missing lines read as empty.
struct StoredItem {
    std::string url;       // CR and LF removed; empty = no item
    std::string savePath;  // empty = keep the path derived from the URL
    std::string totalSize; // empty = no value
    bool finished = false;
};

constexpr size_t kItemListLineLimit = 1023;  // longer lines are read as several lines

// Splits a whole file into records. Lines end at LF or after kItemListLineLimit characters, a URL
// line after kMaxUrlLength; every CR and LF is removed from a line before it is looked at.
std::vector<StoredItem> parseItemList(std::string_view bytes);

// The four lines of one item as written to disk.
std::string formatItemRecord(std::string_view url, std::string_view savePath, uint64_t totalSize, bool finished);

// The validator file (".qvv" beside the ".qvr", which keeps its format): one line per item whose
// validator is known (DownloadItem::validator), its save path and the validator parted by a tab, ending
// CR LF. Matched by save path, a line of an item that is gone, or a file that older versions left
// behind, names no item's file.
std::string validatorFilePath(std::string_view itemListPath);
std::string formatValidatorRecord(std::string_view savePath, std::string_view validator);
// The save path and validator of every whole line; a line without both, or with a character no
// validator or path holds, is passed over.
std::vector<std::pair<std::string, std::string>> parseValidators(std::string_view bytes);

// The state file of an item fetched over several connections (engine/part_state.h), saved at
// `savePath`, in the list whose item-list file is `itemListPath` ("<name>.qvr"):
// "<name>-<16 hex digits of the save path's hash>.qvs" beside it. `name` is the rest of the file
// name of a list's state file, or empty for any other file name.
std::string partStatePath(std::string_view itemListPath, std::string_view savePath);
std::string_view partStateOwner(std::string_view fileName);
