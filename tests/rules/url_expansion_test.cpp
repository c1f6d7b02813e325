#include "intake/url_expansion.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Urls = std::vector<std::string>;

// Every URL a pattern stands for, in order; none unless it is a range.
Urls expand(std::string_view text) {
    UrlPattern pattern = parseUrlPattern(text);
    Urls urls;
    for (int64_t n = pattern.first; pattern.kind == PatternKind::Range && n <= pattern.last; ++n)
        urls.push_back(expandedUrl(pattern, static_cast<int32_t>(n)));
    return urls;
}

// "first .. last (count)" of an expansion, to compare long ones at a glance.
std::string span(std::string_view text) {
    Urls urls = expand(text);
    return urls.empty() ? "" : urls.front() + " .. " + urls.back() + " (" + std::to_string(urls.size()) + ")";
}

TEST(UrlExpansion, NumbersArePaddedWhenBothTextsHaveTheSameWidth) {
    EXPECT_EQ(span("http://h/img[01-12].jpg"), "http://h/img01.jpg .. http://h/img12.jpg (12)");
    EXPECT_EQ(expand("[08-11]"), (Urls{"08", "09", "10", "11"}));
    EXPECT_EQ(span("http://h/[001-100]"), "http://h/001 .. http://h/100 (100)");
    EXPECT_EQ(expand("[1-12]")[8], "9");
    EXPECT_EQ(span("[1-12]"), "1 .. 12 (12)");
    EXPECT_EQ(span("[1-9]"), "1 .. 9 (9)");
    EXPECT_EQ(span("x[ 1-10]"), "x01 .. x10 (10)");  // the blank counts for the width
    EXPECT_EQ(expand("[2a-4b]"), (Urls{"02", "03", "04"}));
    EXPECT_EQ(span("[000000001-000000003]"), "000000001 .. 000000003 (3)");
    EXPECT_EQ(span("[1-0000000003]"), "1 .. 3 (3)");
}

TEST(UrlExpansion, SplitsAtTheFirstBracketsAndDash) {
    // A leading '-' is the separator: first from "" (0), last from "5-3" (5).
    EXPECT_EQ(expand("x[-5-3]y"), (Urls{"x0y", "x1y", "x2y", "x3y", "x4y", "x5y"}));
    EXPECT_EQ(expand("h/]x[1-2]"), (Urls{"h/]x1", "h/]x2"}));  // only a ']' after the '[' closes it
    EXPECT_EQ(expand("http://h/[1-2]/[01-02].png"), (Urls{"http://h/1/[01-02].png", "http://h/2/[01-02].png"}));
    // "ー" is 81 5B: its second byte is no '['.
    EXPECT_EQ(expand("http://h/データ[1-2]ー.jpg"), (Urls{"http://h/データ1ー.jpg", "http://h/データ2ー.jpg"}));
    EXPECT_EQ(parseUrlPattern("http://h/データ.jpg").kind, PatternKind::Plain);
    // An IPv6 host's brackets are no range.
    EXPECT_EQ(expand("http://u@[::1]:81/f[1-2]"), (Urls{"http://u@[::1]:81/f1", "http://u@[::1]:81/f2"}));
    EXPECT_EQ(parseUrlPattern("http://[::1]/f.bin").kind, PatternKind::Plain);
}

TEST(UrlExpansion, KindsOfPatternsThatYieldNothing) {
    struct Case {
        const char* text;
        PatternKind kind;
    } cases[] = {
        {"", PatternKind::Plain},
        {"not even a url ]-", PatternKind::Plain},
        {"http://h/[5-5]", PatternKind::Malformed},
        {"http://h/[12-1]", PatternKind::Malformed},
        {"http://h/[a-z]", PatternKind::Malformed},
        {"http://h/[1-3", PatternKind::Malformed},
        {"http://h/]1-3[", PatternKind::Malformed},
        {"http://h/[13]", PatternKind::Malformed},
        {"http://h/a-b/[1]-3]", PatternKind::Malformed},
        {"[0000000001-0000000009]", PatternKind::TooWide},
        {"http://h/[0-1024]", PatternKind::TooMany},
        {"http://h/[1-99999999]", PatternKind::TooMany},
        {"[0-2147483647]", PatternKind::TooMany},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseUrlPattern(c.text).kind, c.kind) << c.text;
        EXPECT_TRUE(expand(c.text).empty()) << c.text;
    }
}

TEST(UrlExpansion, BoundAndLimitsAreKeptExactly) {
    UrlPattern atBound = parseUrlPattern("http://h/[1-1024]");
    EXPECT_EQ(expandedCount(atBound), kMaxExpandedUrls);
    EXPECT_EQ(span("http://h/[1-1024]"), "http://h/1 .. http://h/1024 (1024)");
    // last is held at the 32-bit maximum, and counting up to it stops there.
    EXPECT_EQ(expand("[2147483646-99999999999]"), (Urls{"2147483646", "2147483647"}));
    // Long prefixes and suffixes are kept whole: a cut URL names another resource.
    std::string prefix(1020, 'p'), suffix(3000, 's');
    EXPECT_EQ(expand(prefix + "[9-10]" + suffix), (Urls{prefix + "9" + suffix, prefix + "10" + suffix}));
}

TEST(UrlExpansion, TypedTextsThatCannotBecomeItemsAreRefusedWithAReason) {
    struct Case {
        std::string text;
        int rows;
        bool accepted;
    } cases[] = {
        {"http://h/a.bin", 0, true},
        {"FTP://h/a.bin", 0, true},
        {"http://h/f[01-05].bin", 1019, true},  // exactly fills the list
        {"http://h/f[01-05].bin", 1020, false},
        {"http://[::1]/f[01-05].bin", 1019, true},
        {"ftp://[2001:db8::1]:2121/a.bin", 0, true},
        {"http://h/a.bin", 1024, false},
        {"", 0, false},
        {"h/a.bin", 0, false},
        {"file://c/a", 0, false},
        {"http://h/f[01-05.bin", 0, false},
        {"http://h/f[5-1].bin", 0, false},
        {"http://h/f[0000000001-1000000000]", 0, false},
        {"http://h/f[1-1025]", 0, false},
        {"http://h/" + std::string(8192 - 9, 'u'), 0, true},
        {"http://h/" + std::string(8193 - 9, 'u'), 0, false},
    };
    for (const Case& c : cases) EXPECT_EQ(typedUrlProblem(c.text, c.rows).empty(), c.accepted) << c.text << " " << c.rows;
    EXPECT_EQ(typedUrlProblem("http://h/f[1-1025]", 0), tooManyUrlsText());
}

}  // namespace
