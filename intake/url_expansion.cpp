#include "intake/url_expansion.h"
#include "common/cp932.h"
#include "common/numbers.h"
#include "common/url_rules.h"
#include "intake/paste_scan.h"

namespace {

// The widest padding the pattern may ask for: 9 digits.
constexpr size_t kMaxWidth = 9;

// First single-byte `c` at or after `from`, stepping over double-byte characters.
size_t findChar(std::string_view s, char c, size_t from = 0) {
    for (size_t i = from; i < s.size(); i += charLength(s, i))
        if (s[i] == c && charLength(s, i) == 1) return i;
    return std::string_view::npos;
}

UrlPattern withKind(UrlPattern pattern, PatternKind kind) {
    pattern.kind = kind;
    return pattern;
}

}  // namespace

UrlPattern parseUrlPattern(std::string_view text) {
    UrlPattern pattern{};
    constexpr size_t npos = std::string_view::npos;
    size_t open = findChar(text, '[', ipv6HostEnd(text));
    if (open == npos) return withKind(pattern, PatternKind::Plain);
    pattern.prefix = text.substr(0, open);
    size_t close = findChar(text, ']', open + 1);
    if (close == npos) return withKind(pattern, PatternKind::Malformed);
    std::string_view range = text.substr(open + 1, close - open - 1);
    pattern.suffix = text.substr(close + 1);
    size_t dash = findChar(range, '-');
    if (dash == npos) return withKind(pattern, PatternKind::Malformed);
    std::string_view firstText = range.substr(0, dash);
    std::string_view lastText = range.substr(dash + 1);
    pattern.first = readInt(firstText);
    pattern.last = readInt(lastText);
    if (pattern.first >= pattern.last) return withKind(pattern, PatternKind::Malformed);
    if (firstText.size() == lastText.size()) {
        if (firstText.size() > kMaxWidth) return withKind(pattern, PatternKind::TooWide);
        pattern.width = static_cast<int>(firstText.size());
    }
    if (expandedCount(pattern) > kMaxExpandedUrls) return withKind(pattern, PatternKind::TooMany);
    return withKind(pattern, PatternKind::Range);
}

int64_t expandedCount(const UrlPattern& pattern) { return int64_t{pattern.last} - pattern.first + 1; }

std::string expandedUrl(const UrlPattern& pattern, int32_t number) {
    // first is read from text without a '-', so neither it nor any number after it is negative.
    uint32_t value = number < 0 ? 0 : static_cast<uint32_t>(number);
    char digits[kMaxWidth + 10];
    char* end = digits + sizeof digits;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (end - p < pattern.width) *--p = '0';

    std::string url;
    url.reserve(pattern.prefix.size() + static_cast<size_t>(end - p) + pattern.suffix.size());
    url.append(pattern.prefix).append(p, static_cast<size_t>(end - p)).append(pattern.suffix);
    return url;
}

std::string tooManyUrlsText() { return "展開できるURLは1回に" + std::to_string(kMaxExpandedUrls) + "個までです"; }

std::string typedUrlProblem(std::string_view text, int rows) {
    if (text.empty()) return "ＵＲＬを入力してください";
    if (!startsWithUrlScheme(text)) return kNoUrlSchemeText;
    if (text.size() > kMaxUrlLength) return urlTooLongText();
    UrlPattern pattern = parseUrlPattern(text);
    switch (pattern.kind) {
    case PatternKind::Plain: return rows < kMaxListItems ? std::string() : kListFullText;
    case PatternKind::Malformed:
    case PatternKind::TooWide: return "[開始-終了] の範囲を展開できません (開始は終了より小さく、9桁まで)";
    case PatternKind::TooMany: return tooManyUrlsText();
    case PatternKind::Range: break;
    }
    return rows + expandedCount(pattern) <= kMaxListItems ? std::string() : kListFullText;
}
