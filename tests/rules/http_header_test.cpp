#include "engine/http_header.h"
#include "engine/validator.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Interprets `text` from a buffer exactly as long as the line, so that a read past its end is caught
// by the sanitizers of the native build.
HeaderLine interpret(const std::string& text, HeaderScan& scan, std::string& location) {
    std::unique_ptr<char[]> line(new char[text.size() + 1]);
    std::memcpy(line.get(), text.data(), text.size());
    line[text.size()] = '\0';
    return interpretHeaderLine(line.get(), text.size(), scan, location);
}

HeaderLine interpret(const std::string& text, HeaderScan& scan) {
    std::string location;
    return interpret(text, scan, location);
}

TEST(HttpHeader, TokenizeCutsAtBlankSlashHyphenButNotInsideDoubleByte) {
    char line[] = "a-b/c d\x83\x2D";  // 83 2D is no pair (2D is no trail byte): the hyphen is cut
    tokenizeHeaderLine(line, sizeof line - 1);
    EXPECT_EQ(std::string(line, sizeof line - 1), std::string("a\0b\0c\0d\x83\0", 9));
    char pair[] = "\x81\x5C-";  // a full pair is left alone
    tokenizeHeaderLine(pair, 3);
    EXPECT_EQ(std::string(pair, 3), std::string("\x81\x5C\0", 3));
}

TEST(HttpHeader, StatusCodesAcceptedAndRejected) {
    HeaderScan scan;
    for (const char* ok : {"HTTP/1.1 200 OK", "HTTP/1.1 206 Partial", "HTTP/1.0 301 x", "http/1.1 302", "HTTP/1.1 303",
                           "HTTP/1.1 305 Use Proxy"})
        EXPECT_EQ(interpret(ok, scan), HeaderLine::StatusAccepted) << ok;
    for (const char* bad : {"HTTP/1.1 304 Not Modified", "HTTP/1.1 404 Not Found", "HTTP/1.1 416 x", "HTTP/1.1  200 OK",
                            "HTTP", "HTTP/", "HTTP/1.1 99999999999999999999"})
        EXPECT_EQ(interpret(bad, scan), HeaderLine::StatusRejected) << bad;
}

TEST(HttpHeader, ContentRangeAndLengthAtTheirPositions) {
    HeaderScan scan;
    EXPECT_EQ(interpret("Content-Range: bytes 1000-1999/2000", scan), HeaderLine::Other);
    EXPECT_EQ(scan.rangeFirst, 1000);
    EXPECT_EQ(scan.rangeLast, 1999);
    EXPECT_EQ(scan.rangeTotal, 2000);
    EXPECT_EQ(interpret("content-length: 1000", scan), HeaderLine::Other);
    EXPECT_EQ(scan.contentLength, 1000);
}

TEST(HttpHeader, CodingsOfTheBody) {
    struct Case {
        const char* line;
        bool chunked;
        const char* encoding;
    } cases[] = {
        {"Transfer-Encoding: chunked", true, ""},
        {"transfer-encoding:chunked ", true, ""},
        {"Transfer-Encoding: gzip, Chunked", true, ""},
        {"Transfer-Encoding: chunked, gzip", false, ""},
        {"Transfer-Encoding: identity", false, ""},
        {"Content-Encoding: gzip", false, "gzip"},
        {"CONTENT-ENCODING:  deflate ", false, "deflate"},
        {"Content-Encoding: identity", false, ""},
        {"Content-Encodings: gzip", false, ""},
    };
    for (const Case& c : cases) {
        HeaderScan scan;
        EXPECT_EQ(interpret(c.line, scan), HeaderLine::Other) << c.line;
        EXPECT_EQ(scan.chunked, c.chunked) << c.line;
        EXPECT_EQ(scan.contentEncoding, c.encoding) << c.line;
    }
}

TEST(HttpHeader, OtherFormsLeaveResultsAbsent) {
    HeaderScan scan;
    interpret("Content-Range: items 1-2/3", scan);
    interpret("Content-Range:bytes 1-2/3", scan);
    interpret("Content-Length:5", scan);
    interpret("Content-Type: text/html", scan);
    interpret("X-Content-Length: 7", scan);
    EXPECT_EQ(scan.rangeFirst, -1);
    EXPECT_EQ(scan.rangeTotal, -1);
    EXPECT_EQ(scan.contentLength, -1);
}

TEST(HttpHeader, ShortLinesAreNeverReadPastTheirEnd) {
    HeaderScan scan;
    std::string location = "old";
    EXPECT_EQ(interpret("Lo", scan, location), HeaderLine::Location);
    EXPECT_EQ(location, "");
    for (const char* shortLine : {"Content-", "Content-Range:", "Content-Range: bytes", "Content-Range: bytes ",
                                  "Content-Range: bytes 5", "Content-Length: ", "Content", "", "H"})
        EXPECT_EQ(interpret(shortLine, scan), HeaderLine::Other) << shortLine;
    EXPECT_EQ(scan.rangeFirst, 5);
    EXPECT_EQ(scan.rangeTotal, -1);
}

TEST(HttpHeader, LocationTakesTheTextAfterTheHeaderName) {
    HeaderScan scan;
    std::string location;
    EXPECT_EQ(interpret("Location: http://h/x", scan, location), HeaderLine::Location);
    EXPECT_EQ(location, "http://h/x");
    EXPECT_EQ(interpret("location: http://h/x", scan, location), HeaderLine::Other) << "exact case of 'Lo'";
}

// A scan as the header lines of a response leave it: Content-Range "bytes first-last/total" and
// Content-Length; -1 for what the response did not say.
HeaderScan sizes(int64_t first, int64_t last, int64_t total, int64_t length) {
    HeaderScan scan;
    scan.rangeFirst = first;
    scan.rangeLast = last;
    scan.rangeTotal = total;
    scan.contentLength = length;
    return scan;
}

TEST(HttpHeader, PlanPutsTheBodyWhereTheResponseSaysOrRefusesIt) {
    struct Case {
        const char* what;
        HeaderScan scan;
        uint64_t fileSize;
        BodyPlan::Kind kind;
        uint64_t total, position;
    } cases[] = {
        {"no sizes: from the start, total unknown", HeaderScan{}, 500, BodyPlan::Fetch, 0, 0},
        {"range resumes at its first byte", sizes(1000, 1999, 2000, 1000), 1000, BodyPlan::Fetch, 2000, 1000},
        {"range starts inside the file", sizes(999, 1999, 2000, 1001), 1000, BodyPlan::Fetch, 2000, 999},
        {"range starts one past the file: a hole", sizes(1001, 1999, 2000, 999), 1000, BodyPlan::BadRange, 2000, 1001},
        {"total '*': resumes, total unknown", sizes(1000, 4999, -1, 4000), 1000, BodyPlan::Fetch, 0, 1000},
        {"total '*' past the file: a hole", sizes(1001, 4999, -1, 3999), 1000, BodyPlan::BadRange, 0, 1001},
        {"total '*' on an empty file is never complete", sizes(0, 4999, -1, 5000), 0, BodyPlan::Fetch, 0, 0},
        {"total below the last byte", sizes(1000, 4999, 4999, 4000), 1000, BodyPlan::BadRange, 4999, 1000},
        {"total just past the last byte", sizes(1000, 4999, 5000, 4000), 1000, BodyPlan::Fetch, 5000, 1000},
        {"last byte before the first", sizes(1000, 999, 5000, -1), 1000, BodyPlan::BadRange, 5000, 1000},
        {"length disagreeing with the range", sizes(1000, 1999, 2000, 999), 1000, BodyPlan::Fetch, 2000, 1000},
        {"range without a length", sizes(1000, 1999, 2000, -1), 1000, BodyPlan::Fetch, 2000, 1000},
        {"range ignored: rewritten from the start", sizes(-1, -1, -1, 2000), 1000, BodyPlan::Fetch, 2000, 0},
        {"file as long as the length", sizes(-1, -1, -1, 2000), 2000, BodyPlan::Complete, 2000, 0},
        {"file one byte short of the length", sizes(-1, -1, -1, 2000), 1999, BodyPlan::Fetch, 2000, 0},
        {"empty resource, empty file", sizes(-1, -1, -1, 0), 0, BodyPlan::Complete, 0, 0},
        {"file longer than the length: fetched again", sizes(-1, -1, -1, 2000), 5000, BodyPlan::Fetch, 2000, 0},
        {"file as long as the range total", sizes(1000, 1999, 2000, 1000), 2000, BodyPlan::Complete, 2000, 1000},
        {"length past 4 GiB", sizes(-1, -1, -1, 5000000000LL), 0, BodyPlan::Fetch, 5000000000u, 0},
        {"range total past 4 GiB", sizes(0, 0, 4294967296LL, 1), 0, BodyPlan::Fetch, 4294967296u, 0},
        {"range start past 4 GiB on a short file: a hole", sizes(4294967296LL, -1, -1, -1), 0, BodyPlan::BadRange, 0,
         4294967296u},
        {"resume past 4 GiB", sizes(4294967296LL, 8589934591LL, 8589934592LL, -1), 4294967296u, BodyPlan::Fetch,
         8589934592u, 4294967296u},
        {"resume below 4 GiB to past 8 GiB", sizes(4294967000LL, 8589934599LL, 8589934600LL, -1), 4294967001u,
         BodyPlan::Fetch, 8589934600u, 4294967000u},
        {"file past 4 GiB as long as the length", sizes(-1, -1, -1, 6442450944LL), 6442450944u, BodyPlan::Complete,
         6442450944u, 0},
        {"file one byte past 4 GiB, length 4 GiB", sizes(-1, -1, -1, 4294967296LL), 4294967297u, BodyPlan::Fetch,
         4294967296u, 0},
        {"largest length held", sizes(-1, -1, -1, (1LL << 62) - 1), 0, BodyPlan::Fetch, (1ULL << 62) - 1, 0},
        {"length held at its limit", sizes(-1, -1, -1, 1LL << 62), 0, BodyPlan::TooLarge, 0, 0},
        {"range total held at its limit", sizes(0, 0, 1LL << 62, 1), 0, BodyPlan::TooLarge, 0, 0},
        {"range start held at its limit", sizes(1LL << 62, -1, -1, -1), 0, BodyPlan::TooLarge, 0, 0},
        {"largest range start held", sizes((1LL << 62) - 1, -1, -1, -1), 0, BodyPlan::BadRange, 0, (1ULL << 62) - 1},
        {"one-byte range", sizes(1000, 1000, 2000, 1), 1000, BodyPlan::Fetch, 2000, 1000},
        {"file longer than the range total", sizes(1000, 1999, 2000, 1000), 3000, BodyPlan::Fetch, 2000, 1000},
    };
    for (const Case& c : cases) {
        BodyPlan p = planBody(c.scan, c.fileSize);
        EXPECT_EQ(p.kind, c.kind) << c.what;
        if (p.kind == BodyPlan::TooLarge) continue;
        EXPECT_EQ(p.total, c.total) << c.what;
        EXPECT_EQ(p.writePosition, c.position) << c.what;
    }
}

TEST(HttpHeader, SpeedStaysRightPastThirtyTwoBits) {
    EXPECT_EQ(speedOf(2000, 1000, 1000), 1000);
    EXPECT_EQ(speedOf(1000, 1000, 0), 0);
    // 40 MB in 1000 s: bytes x 1000 overflows 32 bits, the speed is 40000.
    EXPECT_EQ(speedOf(40000000, 0, 1000000), 40000);
    // Past 64 KB a second: 1 MB in 1 s is 1048576 bytes per second, and the speed says so.
    EXPECT_EQ(speedOf(1048576, 0, 1000), 1048576u);
    EXPECT_EQ(speedOf(409600, 0, 1000), 409600u);  // the default buffer's pace
    EXPECT_EQ(speedOf(uint64_t{1} << 40, 0, 1), UINT32_MAX) << "held, not wrapped";
    // Counters past 4 GiB: only the difference counts.
    EXPECT_EQ(speedOf((1ULL << 32) + 30000, (1ULL << 32) - 10000, 1000), 40000);
    EXPECT_EQ(speedOf((1ULL << 40) + 50000, 1ULL << 40, 2000), 25000);
}

// What tells a changed file: which validator is kept, and when what the server says now differs.
TEST(HttpHeader, ValidatorsTellAChangedFile) {
    HeaderScan scan;
    interpret("etag: \"v1\"", scan);
    interpret("Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT ", scan);
    EXPECT_EQ(httpValidator(scan.etag, scan.lastModified), "E\"v1\"");
    EXPECT_EQ(ifRangeLine("E\"v1\""), "If-Range: \"v1\"\r\n");
    EXPECT_EQ(httpValidator("W/\"v1\"", scan.lastModified), "LTue, 08 Dec 2026 10:00:00 GMT") << "a weak ETag asks for no range";
    EXPECT_EQ(httpValidator("\"" + std::string(kMaxValidatorLength, 'a') + "\"", ""), "");
    EXPECT_EQ(httpValidator("\"a\tb\"", "x\ry"), "");
    EXPECT_EQ(ifRangeLine("M20261208100000"), "") << "an FTP time is no HTTP validator";
    EXPECT_EQ(ftpValidator("213 20261208100000.123"), "M20261208100000.123");
    for (const char* no : {"213 2026120810000", "550 20261208100000", "213 20261208100000.", "213 20261208100000x"})
        EXPECT_EQ(ftpValidator(no), "") << no;
    struct Case {
        const char* remembered;
        uint64_t rememberedTotal;
        const char* now;
        uint64_t nowTotal;
        bool changed;
    } cases[] = {
        {"E\"v1\"", 5000, "E\"v1\"", 5000, false}, {"E\"v1\"", 5000, "E\"v2\"", 5000, true},
        {"", 5000, "", 6000, true},                {"", 0, "", 6000, false},
        {"E\"v1\"", 5000, "Lsame day", 5000, false}, {"Lday one", 0, "Lday two", 0, true},
        {"E\"v1\"", 5000, "", 5000, false},          {"M20261208100000", 5000, "M20261208100001", 5000, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(serverFileChanged(c.remembered, c.rememberedTotal, c.now, c.nowTotal), c.changed)
            << c.remembered << " " << c.rememberedTotal << " / " << c.now << " " << c.nowTotal;
}

}  // namespace

TEST(HttpHeader, TheHeadEndsAtItsEmptyLineWhereverTheBytesWereCut) {
    struct Case {
        const char* before;
        const char* arrived;
        size_t head;
        bool ended;
    } cases[] = {
        {"", "HTTP/1.1 206 P\r\nA: b\r\n\r\nbody", 24, true},
        {"", "HTTP/1.1 206 P\nA: b\n\nbody\n\n", 21, true},
        {"", "\r\n\r\nbody", 4, true},                   // two empty lines: the line reader ends at the second
        {"", "HTTP/1.1 206 P\r\n\r\r\nbody", 23, false},  // CR CR LF is a line holding a CR
        {"b\r", "\n\r\nbody", 3, true},                  // the empty line cut between two receives
        {"\r\n", "\r\nbody", 2, true},
        {"\n\r", "\nbody", 1, true},
        {"", "HTTP/1.1 206 P\r\nA: b\r", 21, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + "|" + c.arrived);
        bool ended = !c.ended;
        EXPECT_EQ(headBytes(c.before, c.arrived, ended), c.head);
        EXPECT_EQ(ended, c.ended);
    }
}
