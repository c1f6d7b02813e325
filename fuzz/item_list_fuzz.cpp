// Item-list files as found on disk, whatever a crash, an editor or another program left in them:
// every record read back is usable, and a record written again reads back the same.
//
// Input: the bytes of one file.
#include "common/numbers.h"
#include "fuzz_input.h"
#include "lists/item_list_format.h"
#include <string>

namespace {

bool hasLineEnd(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A field that keeps its line when written: the reader cuts a line after `limit` bytes, and a
// written line carries "\r\r\n" after the field.
bool fitsOneLine(std::string_view field, size_t limit) { return field.size() + 3 <= limit; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExactBytes bytes(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<StoredItem> items = parseItemList(bytes.view());

    // A whole record takes four lines of at least one byte each, the first at least two ("u\n").
    FUZZ_CHECK(items.size() <= size / 5 + 1);
    for (const StoredItem& item : items) {
        FUZZ_CHECK(!item.url.empty());
        FUZZ_CHECK(item.url[0] != '?');
        FUZZ_CHECK(item.url.size() <= kMaxUrlLength);
        for (const std::string* field : {&item.url, &item.savePath, &item.totalSize}) {
            FUZZ_CHECK(field == &item.url || field->size() <= kItemListLineLimit);
            FUZZ_CHECK(!hasLineEnd(*field));
        }

        if (!fitsOneLine(item.url, kMaxUrlLength) || !fitsOneLine(item.savePath, kItemListLineLimit)) continue;
        uint64_t total = readSize(item.totalSize);
        std::string record = formatItemRecord(item.url, item.savePath, total, item.finished);
        std::vector<StoredItem> again = parseItemList(record);
        FUZZ_CHECK(again.size() == 1);
        FUZZ_CHECK(again[0].url == item.url);
        FUZZ_CHECK(again[0].savePath == item.savePath);
        FUZZ_CHECK(again[0].finished == item.finished);
        FUZZ_CHECK(readSize(again[0].totalSize) == total);
    }
    // The same bytes as a validator file: every record read back is written and read back the same.
    for (const auto& [path, validator] : parseValidators(bytes.view())) {
        auto again = parseValidators(formatValidatorRecord(path, validator));
        FUZZ_CHECK(again.size() == 1 && again[0].first == path && again[0].second == validator);
    }
    return 0;
}
