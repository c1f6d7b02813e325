// A response header block as a server might send it, read line by line the way the HTTP transfer
// reads it, then the decision on the body.
//
// Input: 4 bytes of the save file's size, then the header text (lines split at LF, a CR before it
// dropped). Every line gets a block of exactly its length.
#include "engine/http_header.h"
#include "engine/validator.h"
#include "fuzz_input.h"
#include <string>

namespace {

constexpr int64_t kHeld = int64_t{1} << 62;
constexpr uint64_t kMaxSize = (uint64_t{1} << 62) - 1;

bool isSeparator(char c) { return c == ' ' || c == '/' || c == '-'; }

// A header value is absent (-1) or what tokenValue reads from a token, which never holds a '-'.
bool plausibleValue(int64_t value) { return value == -1 || (value >= 0 && value <= kHeld); }

bool sameScan(const HeaderScan& a, const HeaderScan& b) {
    return a.rangeFirst == b.rangeFirst && a.rangeTotal == b.rangeTotal && a.contentLength == b.contentLength;
}

// The Transfer-Encoding, Content-Encoding, Content-Disposition, ETag and Last-Modified lines are
// read by name and never tokenized.
bool codingLine(std::string_view line) {
    for (std::string_view name : {std::string_view("transfer-encoding:"), std::string_view("content-encoding:"),
                                  std::string_view("content-disposition:"), std::string_view("etag:"),
                                  std::string_view("last-modified:")}) {
        if (line.size() < name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = (line[i] >= 'A' && line[i] <= 'Z' ? line[i] - 'A' + 'a' : line[i]) == name[i];
        if (same) return true;
    }
    return false;
}

bool contradictoryRange(const HeaderScan& scan) {
    return scan.rangeFirst != -1 && scan.rangeLast != -1 &&
           (scan.rangeLast < scan.rangeFirst || (scan.rangeTotal != -1 && scan.rangeLast >= scan.rangeTotal));
}

void checkPlan(const HeaderScan& scan, uint64_t fileSize) {
    BodyPlan plan = planBody(scan, fileSize);
    switch (plan.kind) {
    case BodyPlan::Complete: FUZZ_CHECK(plan.total == fileSize); break;
    // Writing never starts past the bytes already in the file: that would leave a hole. A partial
    // response's body goes where its range says.
    case BodyPlan::Fetch:
        FUZZ_CHECK(plan.writePosition <= fileSize);
        FUZZ_CHECK(plan.writePosition == (scan.rangeFirst == -1 ? 0 : static_cast<uint64_t>(scan.rangeFirst)));
        break;
    case BodyPlan::BadRange: FUZZ_CHECK(plan.writePosition > fileSize || contradictoryRange(scan)); break;
    case BodyPlan::TooLarge: FUZZ_CHECK(plan.total == 0 && plan.writePosition == 0); break;
    default: FUZZ_CHECK(!"unknown plan");
    }
    FUZZ_CHECK(plan.total <= kMaxSize && plan.writePosition <= kMaxSize);
    bool announced = scan.rangeFirst != -1 || scan.rangeTotal != -1 || scan.contentLength != -1;
    if (!announced) FUZZ_CHECK(plan.kind == BodyPlan::Fetch && plan.total == 0 && plan.writePosition == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint64_t fileSize = in.number<uint64_t>();

    std::string_view text = in.rest();
    HeaderScan scan;
    for (std::string_view received : receivedLines(text)) {
        ExactBytes line(received);
        HeaderScan before = scan;
        std::string location;
        HeaderLine kind = interpretHeaderLine(line.data(), line.size(), scan, location);

        if (kind == HeaderLine::Location) {
            FUZZ_CHECK(line.view() == received);  // a redirect line is taken as it came
            FUZZ_CHECK(location == (received.size() > 10 ? received.substr(10) : std::string_view{}));
        } else if (codingLine(received)) {
            FUZZ_CHECK(kind == HeaderLine::Other && line.view() == received);
        } else {
            FUZZ_CHECK(location.empty());
            // Tokenizing only ever turns a separator into NUL; a separator is never the second
            // byte of a double-byte character, so every one of them goes.
            for (size_t i = 0; i < received.size(); ++i)
                FUZZ_CHECK(line.data()[i] == (isSeparator(received[i]) ? '\0' : received[i]));
        }
        if (kind != HeaderLine::Other) FUZZ_CHECK(sameScan(before, scan));
        FUZZ_CHECK(plausibleValue(scan.rangeFirst) && plausibleValue(scan.rangeTotal) &&
                   plausibleValue(scan.contentLength));

        int64_t value = tokenValue(received);
        FUZZ_CHECK(value >= -kHeld && value <= kHeld);
    }

    checkPlan(scan, fileSize);
    checkPlan(scan, 0);
    // A validator kept is one that goes back whole in one header line.
    std::string ifRange = ifRangeLine(httpValidator(scan.etag, scan.lastModified));
    FUZZ_CHECK(ifRange.empty() || (ifRange.find_first_of("\r\n") == ifRange.size() - 2 && ifRange.size() <= 212));
    for (int64_t announced : {scan.contentLength, scan.rangeFirst, scan.rangeTotal}) {
        if (announced < 0 || static_cast<uint64_t>(announced) > kMaxSize) continue;
        uint64_t at = static_cast<uint64_t>(announced);
        checkPlan(scan, at);
        checkPlan(scan, at - 1);
        checkPlan(scan, at + 1);
    }

    // The head ends at the same byte however its bytes were cut between receives.
    bool ended = false, endedInPieces = false;
    size_t head = headBytes({}, text, ended), taken = 0;
    std::string last;
    for (size_t cut = 1 + fileSize % 7; taken < text.size() && !endedInPieces;) {
        std::string_view piece = text.substr(taken, cut);
        size_t n = headBytes(last, piece, endedInPieces);
        FUZZ_CHECK(n <= piece.size() && (endedInPieces || n == piece.size()));
        last = (last + std::string(piece.substr(0, n))).substr(last.size() + n > 2 ? last.size() + n - 2 : 0);
        taken += n;
    }
    FUZZ_CHECK(taken == head && endedInPieces == ended);

    uint64_t fetched = fileSize, start = static_cast<uint64_t>(scan.rangeFirst);
    uint32_t elapsed = static_cast<uint32_t>(scan.contentLength);
    uint32_t speed = speedOf(fetched, start, elapsed);
    if (elapsed == 0) FUZZ_CHECK(speed == 0);
    return 0;
}
