// Reading an HTTP response header, line by line, and deciding what to do with the body. Pure: the
// transfer thread feeds it the lines it received.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Replaces every blank, '/' and '-' that is not part of a double-byte character by NUL, so that
// the line becomes a row of tokens at fixed positions.
void tokenizeHeaderLine(char* line, size_t length);

// What the header lines so far announced; -1 where a header was absent. A Content-Range whose
// total is '*' has a first byte and no total.
struct HeaderScan {
    int64_t rangeFirst = -1;
    int64_t rangeTotal = -1;
    int64_t contentLength = -1;
    int64_t rangeLast = -1;
    bool chunked = false;         // Transfer-Encoding ends with "chunked": the body comes in framed chunks
    bool acceptsRanges = false;   // Accept-Ranges names bytes: the resource can be asked for in ranges
    std::string contentEncoding;  // a Content-Encoding other than identity, as the server named it
    std::string contentDisposition;  // the Content-Disposition value, as the server sent it
    std::string etag;                // the ETag value, as the server sent it
    std::string lastModified;        // the Last-Modified value, as the server sent it
};

enum class HeaderLine {
    Location,        // a redirect; its target is in `location`
    StatusAccepted,  // a status line with 200, 206, 301, 302, 303 or 305
    StatusRejected,  // a status line with any other code
    Other,           // a size header (noted in the scan) or a line of no interest
};

// Interprets one received header line (without its line end). The line is tokenized in place.
// Positions past the end of a short line are never read.
HeaderLine interpretHeaderLine(char* line, size_t length, HeaderScan& scan, std::string& location);

// The decision at the end of the header block.
struct BodyPlan {
    enum Kind {
        Complete,  // the file is exactly as long as the announced total: success without the body
        Fetch,     // read the body, writing from `writePosition`
        BadRange,  // a range past the bytes in the file, or one that contradicts itself: a failed response
        TooLarge,  // a size or position past what any file can have (2^62 bytes and more)
    } kind;
    uint64_t total;          // 0 = size not announced (read until the server closes)
    uint64_t writePosition;  // where the first byte of the body goes
};

BodyPlan planBody(const HeaderScan& scan, uint64_t fileSize);

// Average speed in bytes per second of `fetched - start` bytes in `elapsedMs`, held at 2^32 - 1.
// (A 16-bit speed showed its low bits only: any transfer past 64 KB a second, the default buffer's
// pace among them, showed a wrong speed and a wrong time left.)
uint32_t speedOf(uint64_t fetched, uint64_t start, uint32_t elapsedMs);

// The decimal value a token starts with, read like atoi but 64 bits wide (held at 2^62).
int64_t tokenValue(std::string_view token);

// Of the bytes `arrived` after `before` (the last bytes of the reply's head already taken, or none at
// its start), how many still belong to the head: up to and including the line end of its empty
// line (`ended`), or all of them while none has come.
size_t headBytes(std::string_view before, std::string_view arrived, bool& ended);
