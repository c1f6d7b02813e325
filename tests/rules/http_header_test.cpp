#include "engine/http_header.h"
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
    EXPECT_EQ(scan.rangeTotal, 2000);
    EXPECT_EQ(interpret("content-length: 1000", scan), HeaderLine::Other);
    EXPECT_EQ(scan.contentLength, 1000);
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

TEST(HttpHeader, PlanWithoutSizesFetchesFromTheStart) {
    BodyPlan p = planBody(HeaderScan{}, 500);
    EXPECT_EQ(p.kind, BodyPlan::Fetch);
    EXPECT_EQ(p.total, 0u);
    EXPECT_EQ(p.writePosition, 0u);
}

TEST(HttpHeader, PlanResumesAtTheRangeStart) {
    BodyPlan p = planBody(HeaderScan{1000, 2000, 1000}, 1000);
    EXPECT_EQ(p.kind, BodyPlan::Fetch);
    EXPECT_EQ(p.total, 2000u);
    EXPECT_EQ(p.writePosition, 1000u);
}

TEST(HttpHeader, PlanRewritesWhenRangeWasIgnored) {
    BodyPlan p = planBody(HeaderScan{-1, -1, 2000}, 1000);
    EXPECT_EQ(p.kind, BodyPlan::Fetch);
    EXPECT_EQ(p.writePosition, 0u);
    EXPECT_EQ(p.total, 2000u);
}

TEST(HttpHeader, PlanCompleteOnlyWhenFileHasExactlyTheTotal) {
    EXPECT_EQ(planBody(HeaderScan{-1, -1, 2000}, 2000).kind, BodyPlan::Complete);
    EXPECT_EQ(planBody(HeaderScan{-1, -1, 0}, 0).kind, BodyPlan::Complete);
    BodyPlan longer = planBody(HeaderScan{-1, -1, 2000}, 5000);
    EXPECT_EQ(longer.kind, BodyPlan::Fetch);
    EXPECT_EQ(longer.writePosition, 0u);
}

TEST(HttpHeader, PlanRefusesARangeStartingPastTheFile) {
    EXPECT_EQ(planBody(HeaderScan{1100, 2000, 900}, 1000).kind, BodyPlan::BadRange);
    EXPECT_EQ(planBody(HeaderScan{900, 2000, 1100}, 1000).kind, BodyPlan::Fetch);
}

TEST(HttpHeader, PlanRefusesSizesPastFourGiB) {
    EXPECT_EQ(planBody(HeaderScan{-1, -1, 5000000000LL}, 0).kind, BodyPlan::TooLarge);
    EXPECT_EQ(planBody(HeaderScan{0, 4294967296LL, 0}, 0).kind, BodyPlan::TooLarge);
    BodyPlan big = planBody(HeaderScan{-1, -1, 3000000000LL}, 0);
    EXPECT_EQ(big.kind, BodyPlan::Fetch);
    EXPECT_EQ(big.total, 3000000000u);
}

TEST(HttpHeader, SpeedStaysRightPastThirtyTwoBits) {
    EXPECT_EQ(speedOf(2000, 1000, 1000), 1000);
    EXPECT_EQ(speedOf(1000, 1000, 0), 0);
    // 40 MB in 1000 s: bytes x 1000 overflows 32 bits, the speed is 40000.
    EXPECT_EQ(speedOf(40000000, 0, 1000000), 40000);
    // 1 MB in 1 s is 1048576 bytes per second; the field keeps its low 16 bits.
    EXPECT_EQ(speedOf(1048576, 0, 1000), static_cast<uint16_t>(1048576 & 0xFFFF));
}

}  // namespace
