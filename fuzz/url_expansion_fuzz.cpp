// URL patterns of the new-item dialog, expanded the way the dialog's preview and "add" do it: a
// pattern never stands for more URLs than the bound, and every URL is made whole, never longer than
// the pattern (so a pattern within kMaxUrlLength gives URLs within it).
//
// Input: the pattern text up to the first NUL (the dialog's edit box holds a C string), in a block of
// exactly its length.
#include "common/cp932.h"
#include "common/url_rules.h"
#include "fuzz_input.h"
#include "intake/url_expansion.h"
#include <string>

namespace {

size_t findSingle(std::string_view text, char c, size_t from = 0) {
    for (size_t i = from; i < text.size(); i += charLength(text, i))
        if (text[i] == c && charLength(text, i) == 1) return i;
    return std::string_view::npos;
}

bool inside(std::string_view part, std::string_view all) {
    return part.data() >= all.data() && part.data() + part.size() <= all.data() + all.size();
}

std::string padded(int32_t number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    ExactBytes text(in.piece());
    std::string_view all = text.view();

    UrlPattern pattern = parseUrlPattern(all);
    // The brackets of an IPv6 host are the host's: the range's '[' is the first one after them.
    size_t hostEnd = ipv6HostEnd(all);
    size_t open = findSingle(all, '[', hostEnd);
    FUZZ_CHECK((pattern.kind == PatternKind::Plain) == (open == std::string_view::npos));
    if (pattern.kind != PatternKind::Range) return 0;

    FUZZ_CHECK(pattern.prefix == all.substr(0, open) && pattern.prefix.size() >= hostEnd);
    FUZZ_CHECK(inside(pattern.suffix, all));
    FUZZ_CHECK(pattern.first >= 0);  // read from text without a '-'
    FUZZ_CHECK(pattern.first < pattern.last);
    FUZZ_CHECK(pattern.width >= 0 && pattern.width <= 9);
    int64_t count = expandedCount(pattern);
    FUZZ_CHECK(count >= 2 && count <= kMaxExpandedUrls);

    // As the dialog expands it: one URL per number, first to last.
    int64_t urls = 0;
    for (int64_t number = pattern.first; number <= pattern.last; ++number, ++urls) {
        std::string made = expandedUrl(pattern, static_cast<int32_t>(number));
        FUZZ_CHECK(made == std::string(pattern.prefix) + padded(static_cast<int32_t>(number), pattern.width) +
                               std::string(pattern.suffix));
        FUZZ_CHECK(made.size() < all.size());
    }
    FUZZ_CHECK(urls == count);
    return 0;
}
