#include "lists/item_list_format.h"
#include "common/text.h"
#include "lists/download_list.h"
#include <algorithm>
#include <string>

namespace {

// Reads lines the way a line reader with a buffer of `limit` + 1 bytes does.
class LineReader {
  public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
    bool atEnd() const { return pos_ >= bytes_.size(); }
    // The next line without CR and LF; false when the end was reached before anything was read.
    bool next(std::string& line, size_t limit = kItemListLineLimit) {
        line.clear();
        if (atEnd()) return false;
        size_t taken = 0;
        bool ended = false;
        bool textEnded = false;  // a NUL ends the text as it ends a string; the line goes on to its end
        while (pos_ < bytes_.size() && taken < limit) {
            char c = bytes_[pos_++];
            ++taken;
            if (c == '\n') {
                ended = true;
                break;
            }
            if (c == '\0') textEnded = true;
            if (c != '\r' && !textEnded) line += c;
        }
        // A line cut at the limit whose text ends right there (a URL of kMaxUrlLength characters
        // followed by its line end) must not leave its line end behind as an extra empty line: that would
        // shift every later record by one.
        if (!ended) {
            size_t end = pos_;
            while (end < bytes_.size() && bytes_[end] == '\r') ++end;
            if (end < bytes_.size() && bytes_[end] == '\n') pos_ = end + 1;
        }
        return true;
    }

  private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<StoredItem> parseItemList(std::string_view bytes) {
    std::vector<StoredItem> items;
    LineReader reader(bytes);
    std::string line;
    while (reader.next(line, kMaxUrlLength)) {
        StoredItem item;
        // The query is part of the URL (a signed link's signature, the id of a view.php): cut, it
        // would fetch another resource after a restart. A line with nothing before it is none.
        if (line.find('?') != 0) item.url = line;
        bool ended = !reader.next(item.savePath);
        if (!ended) ended = !reader.next(item.totalSize);
        std::string flag;
        if (!ended) ended = !reader.next(flag);
        item.finished = !flag.empty() && flag[0] == '1';
        if (!item.url.empty()) items.push_back(std::move(item));
        if (ended) break;
    }
    return items;
}

std::string formatItemRecord(std::string_view url, std::string_view savePath, uint64_t totalSize, bool finished) {
    // Unsigned and of any size; a size past 2 GiB is no longer written as a negative number.
    std::string size = std::to_string(totalSize);
    std::string record;
    record.reserve(url.size() + savePath.size() + 32);
    record.append(url).append("\r\r\n").append(savePath).append("\r\r\n").append(size).append("\r\r\n");
    record.append(finished ? "1\r\r\n" : "0\r\r\n");
    return record;
}

std::string validatorFilePath(std::string_view itemListPath) {
    std::string path(itemListPath.substr(0, itemListPath.size() < 3 ? 0 : itemListPath.size() - 3));
    return path + "qvv";
}

std::string formatValidatorRecord(std::string_view savePath, std::string_view validator) {
    return std::string(savePath) + "\t" + std::string(validator) + "\r\n";
}

std::vector<std::pair<std::string, std::string>> parseValidators(std::string_view bytes) {
    std::vector<std::pair<std::string, std::string>> records;
    while (!bytes.empty()) {
        size_t end = bytes.find("\r\n");
        if (end == std::string_view::npos) break;  // a line cut short by a torn write
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 2);
        size_t tab = line.find('\t');
        if (tab == 0 || tab == std::string_view::npos) continue;
        std::string_view path = line.substr(0, tab), validator = line.substr(tab + 1);
        if (validator.size() < 2 || validator.size() > kMaxValidatorLength + 1 || hasControlCharacter(line.substr(0, tab)) ||
            hasControlCharacter(validator))
            continue;
        records.emplace_back(path, validator);
    }
    return records;
}

namespace {
constexpr size_t kHashDigits = 16;
constexpr std::string_view kPartStateExtension = ".qvs";
}  // namespace

std::string partStatePath(std::string_view itemListPath, std::string_view savePath) {
    uint64_t hash = 14695981039346656037u;  // FNV-1a
    for (char c : savePath) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    char digits[kHashDigits + 1];
    for (int i = kHashDigits - 1; i >= 0; --i, hash >>= 4) digits[i] = "0123456789abcdef"[hash & 15];
    digits[kHashDigits] = '\0';
    std::string_view stem = itemListPath.substr(0, itemListPath.size() >= 4 ? itemListPath.size() - 4 : 0);
    return std::string(stem) + "-" + digits + std::string(kPartStateExtension);
}

std::string_view partStateOwner(std::string_view fileName) {
    size_t tail = kHashDigits + kPartStateExtension.size();
    if (fileName.size() < tail + 1 || fileName[fileName.size() - tail - 1] != '-') return {};
    std::string_view hash = fileName.substr(fileName.size() - tail, kHashDigits);
    std::string_view extension = fileName.substr(fileName.size() - kPartStateExtension.size());
    bool hex = std::all_of(hash.begin(), hash.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    if (!hex || !equalsNoCase(extension, kPartStateExtension)) return {};
    return fileName.substr(0, fileName.size() - tail - 1);
}
