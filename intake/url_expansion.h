// URL patterns of the new-item dialog: prefix "[" first "-" last "]" suffix stands for one URL per
// number from first to last. Platform-free; the Win32 side (expansion_glue) turns the URLs into
// items or preview rows.
//
// - The prefix is everything before the first '[' and the range everything up to the first ']'
//   after it; the suffix is taken literally, so a second bracketed range stays as it is written.
//   The brackets of an IPv6 host ("http://[::1]/f[1-5].bin") are the host's, never a range.
// - first is read from the range text before its first '-', last from the text after it, both the
//   way atoi reads (blanks, sign, digits; letters read as 0).
// - When the two number texts have the same number of characters (blanks and signs count), the
//   numbers are padded with zeros to that width; otherwise they are written plainly. A width of 10
//   or more is refused.
// - Ranges count upwards only: first must be below last.
// A '[', ']' or '-' that is the second byte of a double-byte character is part of that character.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// One pattern may stand for at most this many URLs (the number of items a list takes from the
// clipboard). Without a bound, a slip such as [1-99999999] would create items until memory ran out
// and freeze the window while it tried.
constexpr int64_t kMaxExpandedUrls = 1024;

enum class PatternKind : uint8_t {
    Plain,      // no '[' (but an IPv6 host's): the whole text is one URL, unchecked
    Malformed,  // no ']' after the '[', no '-' in the range, or first not below last: nothing happens
    TooWide,    // both number texts 10 or more characters long: the preview is emptied, nothing else
    TooMany,    // more than kMaxExpandedUrls numbers: the preview is emptied and the user is told
    Range,      // one URL for every number from first to last
};

struct UrlPattern {
    PatternKind kind;
    std::string_view prefix;  // views into the pattern text
    std::string_view suffix;
    int32_t first;
    int32_t last;
    int width;  // digits the numbers are padded to; 0 = no padding
};

UrlPattern parseUrlPattern(std::string_view pattern);

// Number of URLs a Range pattern stands for.
int64_t expandedCount(const UrlPattern& pattern);

// The URL for `number` (first to last, never negative): prefix, number, suffix. It is never longer
// than the pattern, whose bracketed range is wider than any number it stands for.
std::string expandedUrl(const UrlPattern& pattern, int32_t number);

// What the user is told of a pattern standing for more than kMaxExpandedUrls URLs.
std::string tooManyUrlsText();

// Why a URL or pattern typed into an item dialog cannot become items of a list that has `rows`
// rows, in words for the user; empty when it can. A text must start with "http://", "https://" or "ftp://",
// be at most kMaxUrlLength long, a '[' must start a range that counts upwards, and the URLs must
// fit the pattern limit and the list.
std::string typedUrlProblem(std::string_view text, int rows);
