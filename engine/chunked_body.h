// Taking the chunk framing off a response body sent with "Transfer-Encoding: chunked". Pure: the
// transfer thread feeds it the bytes as each read returns them, cut anywhere, even inside a size line.
#pragma once
#include <cstddef>
#include <cstdint>

// Where one response's chunked body stands between reads; a new response starts with a fresh one.
struct ChunkDecoder {
    enum class State : uint8_t {
        Size,           // at the start of a size line: a hex digit must come
        SizeDigits,     // inside the chunk size
        SizeBlank,      // blanks after the size: only more blanks, ';' or the line end may follow
        Extension,      // after ';': skipped up to the line end
        SizeLineEnd,    // CR of the size line seen: LF must follow
        Data,           // `remaining` payload bytes of the chunk still to come
        DataCr,         // the chunk's data is over: its CR LF (or bare LF) must follow
        DataLf,         // CR after the data seen: LF must follow
        Trailer,        // after the last chunk, at the start of a trailer line or the closing empty line
        TrailerText,    // inside a trailer line, skipped
        TrailerLineEnd, // CR of a trailer line seen: LF must follow
        FinalLineEnd,   // CR of the closing empty line seen: LF must follow
        Done,           // the body is over; bytes after it are not part of it
        Bad,            // the framing is broken; the body cannot be trusted past this point
    };
    State state = State::Size;
    uint64_t remaining = 0; // the chunk size while it is read, then its payload bytes still to come
    uint32_t lineBytes = 0; // framing bytes of the current size line, or of the whole trailer
    uint64_t chunkSize = 0;      // payload bytes of the current chunk
    uint64_t closedPayload = 0;  // payload of the chunks whose closing line end has been seen: bytes
                                 // that no later fault of the framing can call into question
};

enum class ChunkStatus : uint8_t { More, Done, Bad };

// Decodes `length` received bytes at `data` in place: their payload bytes are moved to the front of
// `data` and their count stored in `payload` (payload never runs ahead of the input, so in place is
// safe). Returns Done once the last chunk and its trailer are over (bytes after that are ignored and
// not counted), Bad for broken framing (`payload` then holds the bytes decoded before the fault),
// More otherwise. Done and Bad are final: later calls return them again with no payload.
ChunkStatus decodeChunks(ChunkDecoder& decoder, char* data, size_t length, size_t& payload);
