#include "engine/chunked_body.h"
#include <cstring>

namespace {

using State = ChunkDecoder::State;

// Bounds on the framing a server may send around the payload: past them it is not a body but a
// server that never stops talking.
constexpr uint32_t kMaxSizeLine = 4096;
constexpr uint32_t kMaxTrailer = 64 * 1024;

// A size already this large has 15 significant hex digits: a 16th is past any real body, and a 17th
// would overflow the count. Leading zeros are no size and do not count.
constexpr uint64_t kSizeFull = uint64_t{1} << 56;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The data ran out with `remaining` at 0 and its line end came, so the chunk was as long as its
// size said; the next size starts from there.
void startSizeLine(ChunkDecoder& d) {
    d.state = State::Size;
    d.lineBytes = 0;
    d.closedPayload += d.chunkSize;
}

// The size line is over: a size of 0 is the last chunk, which only a trailer follows.
void endSizeLine(ChunkDecoder& d) {
    d.state = d.remaining == 0 ? State::Trailer : State::Data;
    d.lineBytes = 0;
    d.chunkSize = d.remaining;
}

// What may end a size line after its digits, blanks or extension.
void sizeLineGoesOn(ChunkDecoder& d, char c) {
    if (c == ';')
        d.state = State::Extension;
    else if (c == '\r')
        d.state = State::SizeLineEnd;
    else if (c == '\n')
        endSizeLine(d);
    else
        d.state = State::Bad;
}

// Takes one framing byte (any state but Data, Done and Bad).
void frameByte(ChunkDecoder& d, char c) {
    bool inTrailer = d.state >= State::Trailer; // the trailer states are the last before Done
    if (++d.lineBytes > (inTrailer ? kMaxTrailer : kMaxSizeLine)) {
        d.state = State::Bad;
        return;
    }
    switch (d.state) {
    case State::Size:
    case State::SizeDigits: {
        int digit = hexValue(c);
        if (digit < 0) {
            if (d.state == State::Size)
                d.state = State::Bad; // no digit at all, or an empty line
            else if (isBlank(c))
                d.state = State::SizeBlank;
            else
                sizeLineGoesOn(d, c);
        } else if (d.remaining >= kSizeFull) {
            d.state = State::Bad;
        } else {
            d.remaining = d.remaining * 16 + static_cast<uint64_t>(digit);
            d.state = State::SizeDigits;
        }
        break;
    }
    case State::SizeBlank:
        if (!isBlank(c)) sizeLineGoesOn(d, c);
        break;
    case State::Extension:
        if (c == '\r')
            d.state = State::SizeLineEnd;
        else if (c == '\n')
            endSizeLine(d);
        break;
    case State::SizeLineEnd:
        if (c == '\n')
            endSizeLine(d);
        else
            d.state = State::Bad;
        break;
    // Anything but a line end right after the data means the chunk size did not match the data.
    case State::DataCr:
        if (c == '\r')
            d.state = State::DataLf;
        else if (c == '\n')
            startSizeLine(d);
        else
            d.state = State::Bad;
        break;
    case State::DataLf:
        if (c == '\n')
            startSizeLine(d);
        else
            d.state = State::Bad;
        break;
    case State::Trailer:
        if (c == '\r')
            d.state = State::FinalLineEnd;
        else if (c == '\n')
            d.state = State::Done;
        else
            d.state = State::TrailerText;
        break;
    case State::TrailerText:
        if (c == '\r')
            d.state = State::TrailerLineEnd;
        else if (c == '\n')
            d.state = State::Trailer;
        break;
    case State::TrailerLineEnd: d.state = c == '\n' ? State::Trailer : State::Bad; break;
    case State::FinalLineEnd: d.state = c == '\n' ? State::Done : State::Bad; break;
    default: d.state = State::Bad; break;
    }
}

} // namespace

ChunkStatus decodeChunks(ChunkDecoder& decoder, char* data, size_t length, size_t& payload) {
    size_t in = 0;
    size_t out = 0;
    while (in < length && decoder.state != State::Done && decoder.state != State::Bad) {
        if (decoder.state != State::Data) {
            frameByte(decoder, data[in++]);
            continue;
        }
        size_t run = length - in;
        if (decoder.remaining < run) run = static_cast<size_t>(decoder.remaining);
        if (out != in) std::memmove(data + out, data + in, run);
        in += run;
        out += run;
        decoder.remaining -= run;
        if (decoder.remaining == 0) decoder.state = State::DataCr;
    }
    payload = out;
    if (decoder.state == State::Done) return ChunkStatus::Done;
    return decoder.state == State::Bad ? ChunkStatus::Bad : ChunkStatus::More;
}
