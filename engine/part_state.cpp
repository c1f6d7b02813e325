#include "engine/part_state.h"
#include "common/url_rules.h"
#include "lists/download_list.h"
#include <algorithm>

namespace {

constexpr std::string_view kHeader = "QVPART 1";

std::string_view takeLine(std::string_view& text, bool& ok) {
    size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
        ok = false;
        return {};
    }
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf + 1);
    return line;
}

// Plain decimal digits only, at most 18 of them: no sign, blank or leading text, and nothing that
// could overflow.
bool readNumber(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool readKeyed(std::string_view line, std::string_view key, std::string_view& value) {
    if (line.size() <= key.size() + 1 || line.substr(0, key.size()) != key || line[key.size()] != ' ') return false;
    value = line.substr(key.size() + 1);
    return true;
}

bool readFields(std::string_view text, uint64_t partFileSize, PartState& state) {
    bool ok = true;
    std::string_view value;
    if (takeLine(text, ok) != kHeader || !ok) return false;
    if (!readKeyed(takeLine(text, ok), "total", value) || !readNumber(value, state.total) || state.total == 0)
        return false;
    std::string_view line = takeLine(text, ok);
    if (line != "validator" && !readKeyed(line, "validator", value)) return false;
    if (line == "validator") value = {};
    if (value.size() > kMaxValidatorLength || hasControlCharacter(value)) return false;
    state.validator = value;
    uint64_t lastEnd = 0;
    for (;;) {
        line = takeLine(text, ok);
        if (!ok) return false;
        if (line == "end") break;
        size_t blank = line.find(' ', 5);
        ByteRange range;
        if (!readKeyed(line, "done", value) || blank == std::string_view::npos ||
            !readNumber(line.substr(5, blank - 5), range.begin) || !readNumber(line.substr(blank + 1), range.end))
            return false;
        bool apart = state.done.empty() ? true : range.begin > lastEnd;
        if (!apart || range.begin >= range.end || range.end > state.total) return false;
        lastEnd = range.end;
        if (range.begin < partFileSize) state.done.push_back({range.begin, std::min(range.end, partFileSize)});
    }
    return text.empty();
}

}  // namespace

std::string partStateText(const PartState& state) {
    std::string text(kHeader);
    text += "\ntotal " + std::to_string(state.total) + "\nvalidator";
    if (!state.validator.empty()) text += " " + state.validator;
    text += "\n";
    for (const ByteRange& range : state.done)
        text += "done " + std::to_string(range.begin) + " " + std::to_string(range.end) + "\n";
    return text + "end\n";
}

bool readPartState(std::string_view text, uint64_t partFileSize, PartState& state) {
    state = {};
    if (readFields(text, partFileSize, state)) return true;
    state = {};
    return false;
}
