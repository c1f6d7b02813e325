#include "engine/http_header.h"
#include "common/cp932.h"
#include "common/text.h"

namespace {

constexpr int64_t kLargest = int64_t{1} << 62;
// Values are held at kLargest when they are larger still, so a size or position there stands for
// one past what a file can have.
constexpr int64_t kMaxSize = kLargest - 1;

// The token that starts at `pos` of the tokenized line; empty past its end.
std::string_view tokenAt(const char* line, size_t length, size_t pos) {
    if (pos >= length) return {};
    size_t end = pos;
    while (end < length && line[end] != '\0') ++end;
    return {line + pos, end - pos};
}

// Position of the token after the one starting at `pos`, or `length` at the end of the line.
size_t nextToken(const char* line, size_t length, size_t pos) {
    size_t end = pos + tokenAt(line, length, pos).size();
    return end < length ? end + 1 : length;
}

// The value of the token at `pos`, when a number stands there. An empty token (a second blank, or a
// minus sign: the tokenizer cuts at both) or text is no size; read as 0 it would make an empty file
// look complete.
bool numberAt(const char* line, size_t length, size_t pos, int64_t& value) {
    std::string_view token = tokenAt(line, length, pos);
    if (token.empty() || token[0] < '0' || token[0] > '9') return false;
    value = tokenValue(token);
    return true;
}

// `text` without the blanks and tabs around it.
std::string_view withoutBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// True when the line is "Name: value" with the name `name` (any case); `value` is then the text
// after the colon without the blanks around it.
bool headerValue(std::string_view line, std::string_view name, std::string_view& value) {
    if (line.size() <= name.size() || line[name.size()] != ':' || !equalsNoCase(line.substr(0, name.size()), name))
        return false;
    value = line.substr(name.size() + 1);
    value = withoutBlanks(value);
    return true;
}

// The last entry of a comma-separated list of codings (parameters after ';' dropped).
std::string_view lastCoding(std::string_view list) {
    size_t comma = list.rfind(',');
    std::string_view last = comma == std::string_view::npos ? list : list.substr(comma + 1);
    return withoutBlanks(last.substr(0, last.find(';')));
}

bool acceptedStatus(int64_t code) {
    return code == 200 || code == 206 || code == 301 || code == 302 || code == 303 || code == 305;
}

}  // namespace

int64_t tokenValue(std::string_view token) {
    size_t i = 0;
    while (i < token.size() && (token[i] == ' ' || (token[i] >= '\t' && token[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    int64_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i)
        value = value >= kLargest / 10 ? kLargest : value * 10 + (token[i] - '0');
    return negative ? -value : value;
}

void tokenizeHeaderLine(char* line, size_t length) {
    std::string_view text(line, length);
    for (size_t i = 0; i < length; i += charLength(text, i)) {
        if (charLength(text, i) == 2) continue;
        if (line[i] == ' ' || line[i] == '/' || line[i] == '-') line[i] = '\0';
    }
}

HeaderLine interpretHeaderLine(char* line, size_t length, HeaderScan& scan, std::string& location) {
    if (length >= 2 && line[0] == 'L' && line[1] == 'o') {
        // The target follows "Location: " (ten characters); a shorter line has an empty target.
        location.assign(length > 10 ? std::string_view(line + 10, length - 10) : std::string_view{});
        return HeaderLine::Location;
    }
    std::string_view value;
    if (headerValue({line, length}, "Transfer-Encoding", value)) {
        scan.chunked = equalsNoCase(lastCoding(value), "chunked");
        return HeaderLine::Other;
    }
    if (headerValue({line, length}, "Content-Encoding", value)) {
        std::string_view coding = lastCoding(value);
        if (!coding.empty() && !equalsNoCase(coding, "identity")) scan.contentEncoding.assign(value);
        return HeaderLine::Other;
    }
    if (headerValue({line, length}, "Content-Disposition", value)) {
        scan.contentDisposition.assign(value);  // the file name in it is the transfer's to judge
        return HeaderLine::Other;
    }
    if (headerValue({line, length}, "Accept-Ranges", value)) {
        scan.acceptsRanges = equalsNoCase(value, "bytes");
        return HeaderLine::Other;
    }
    if (headerValue({line, length}, "ETag", value)) {
        scan.etag.assign(value);
        return HeaderLine::Other;
    }
    if (headerValue({line, length}, "Last-Modified", value)) {
        scan.lastModified.assign(value);
        return HeaderLine::Other;
    }
    tokenizeHeaderLine(line, length);
    std::string_view first = tokenAt(line, length, 0);
    if (equalsNoCase(first, "HTTP")) {
        size_t third = nextToken(line, length, nextToken(line, length, 0));
        return acceptedStatus(tokenValue(tokenAt(line, length, third))) ? HeaderLine::StatusAccepted
                                                                         : HeaderLine::StatusRejected;
    }
    if (!equalsNoCase(first, "Content")) return HeaderLine::Other;
    std::string_view name = tokenAt(line, length, 8);
    if (equalsNoCase(name, "range:")) {
        if (!equalsNoCase(tokenAt(line, length, 15), "bytes") || length <= 21) return HeaderLine::Other;
        int64_t first = 0, last = 0, total = 0;
        if (!numberAt(line, length, 21, first)) return HeaderLine::Other;
        scan.rangeFirst = first;
        size_t lastAt = nextToken(line, length, 21);
        if (numberAt(line, length, lastAt, last)) scan.rangeLast = last;
        if (numberAt(line, length, nextToken(line, length, lastAt), total)) scan.rangeTotal = total;
    } else if (equalsNoCase(name, "length:")) {
        int64_t value = 0;
        if (numberAt(line, length, 16, value)) scan.contentLength = value;
    }
    return HeaderLine::Other;
}

BodyPlan planBody(const HeaderScan& scan, uint64_t fileSize) {
    if (scan.rangeFirst == -1) {
        // A plain response: the whole resource from its first byte, its size announced or not.
        if (scan.contentLength == -1) return {BodyPlan::Fetch, 0, 0};
        int64_t total = scan.contentLength;
        if (total > kMaxSize) return {BodyPlan::TooLarge, 0, 0};
        // A file as long as the announced total is complete. One that is longer is not this
        // resource (the server ignored the Range line, or the resource shrank): it is fetched again.
        if (fileSize == static_cast<uint64_t>(total)) return {BodyPlan::Complete, static_cast<uint64_t>(total), 0};
        return {BodyPlan::Fetch, static_cast<uint64_t>(total), 0};
    }
    // A partial response: its first byte goes where the range says, whether or not the server knows
    // the total ('*' leaves it unknown, and the body is read until the server closes).
    int64_t first = scan.rangeFirst, last = scan.rangeLast, total = scan.rangeTotal;
    if (first > kMaxSize || total > kMaxSize) return {BodyPlan::TooLarge, 0, 0};
    uint64_t known = total == -1 ? 0 : static_cast<uint64_t>(total);
    uint64_t position = static_cast<uint64_t>(first);
    // A range that contradicts itself says nothing reliable about where its bytes belong. (A
    // Content-Length beside it plays no part: the body is read until the server closes, and the
    // range's total decides whether the file is complete.)
    bool contradicts = (last != -1 && last < first) || (last != -1 && total != -1 && last >= total);
    if (contradicts) return {BodyPlan::BadRange, known, position};
    if (total != -1 && fileSize == known) return {BodyPlan::Complete, known, position};
    // Writing past the bytes present would leave a hole of zeros in a file later called complete.
    if (position > fileSize) return {BodyPlan::BadRange, known, position};
    return {BodyPlan::Fetch, known, position};
}

uint32_t speedOf(uint64_t fetched, uint64_t start, uint32_t elapsedMs) {
    if (elapsedMs == 0 || fetched < start) return 0;
    uint64_t bytes = fetched - start;
    // Split so that no byte count a file can have overflows on its way to bytes per second.
    uint64_t perSecond = bytes / elapsedMs * 1000u + bytes % elapsedMs * 1000u / elapsedMs;
    return perSecond > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(perSecond);
}

size_t headBytes(std::string_view before, std::string_view arrived, bool& ended) {
    // An empty line is a line end right after another (LF LF, or LF CR LF).
    std::string text(before.substr(before.size() > 2 ? before.size() - 2 : 0));
    size_t offset = text.size();
    text.append(arrived);
    ended = true;
    for (size_t i = offset; i < text.size(); ++i) {
        if (text[i] != '\n' || i == 0) continue;
        if (text[i - 1] == '\n' || (i >= 2 && text[i - 1] == '\r' && text[i - 2] == '\n')) return i + 1 - offset;
    }
    ended = false;
    return arrived.size();
}
