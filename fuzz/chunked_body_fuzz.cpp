// A chunked response body as the HTTP transfer receives it: cut into reads of any size, each decoded
// in place in a block of exactly its length. The payload must not depend on where the reads are cut,
// and Done and Bad are final. The body's bytes are also framed as a well-formed chunked body, which
// must give them back exactly.
//
// Input: one byte n, then n bytes of read sizes (used in turn, 0 being an empty read; with none of
// them above 0 the body is read one byte at a time), then the body. The size bytes also shape the
// well-formed framing.
#include "engine/chunked_body.h"
#include "fuzz_input.h"
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Decoded {
    std::string payload;
    ChunkStatus status = ChunkStatus::More;
};

bool isOver(ChunkStatus status) {
    return status != ChunkStatus::More;
}

// Reads of the sizes in `reads` in turn; with no sizes, the whole body in one read.
Decoded decodeInReads(std::string_view body, const std::vector<uint8_t>& reads) {
    ChunkDecoder decoder;
    Decoded result;
    size_t at = 0;
    for (size_t k = 0; at < body.size(); ++k) {
        size_t want = reads.empty() ? body.size() : reads[k % reads.size()];
        ExactBytes piece(body.substr(at, want));
        at += piece.size();
        size_t payload = ~size_t{0};
        ChunkStatus status = decodeChunks(decoder, piece.data(), piece.size(), payload);
        FUZZ_CHECK(payload <= piece.size());
        if (isOver(result.status)) FUZZ_CHECK(status == result.status && payload == 0);
        result.status = status;
        result.payload.append(piece.data(), payload);
    }
    // Once over, the decoder stays over whatever else arrives.
    if (isOver(result.status)) {
        ExactBytes more(body);
        size_t payload = ~size_t{0};
        FUZZ_CHECK(decodeChunks(decoder, more.data(), more.size(), payload) == result.status && payload == 0);
    }
    FUZZ_CHECK(result.payload.size() <= body.size());
    return result;
}

// `payload` framed in chunks whose sizes follow `reads`, with the hex digits in either case, an
// extension on some size lines, a trailer, and bare LFs where a size byte is odd; then stray bytes.
std::string framed(std::string_view payload, const std::vector<uint8_t>& reads) {
    std::string body;
    size_t k = 0;
    auto lineEnd = [&] { return reads.empty() || reads[k % reads.size()] % 2 == 0 ? "\r\n" : "\n"; };
    for (size_t at = 0; at < payload.size(); ++k) {
        uint8_t size = reads.empty() ? 0 : reads[k % reads.size()];
        size_t n = payload.size() - at < size + 1u ? payload.size() - at : size + 1u;
        char line[32];
        std::snprintf(line, sizeof line, k % 2 ? "%zX" : "%zx", n);
        body += line;
        if (size % 3 == 0) body += " ;a=\"b;c\"";
        body += lineEnd();
        body.append(payload.substr(at, n));
        body += lineEnd();
        at += n;
    }
    body += "0";
    body += lineEnd();
    body += "X-Trailer: 1";
    body += lineEnd();
    body += lineEnd();
    body += "5\r\nafter";
    return body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    std::vector<uint8_t> reads(in.byte());
    for (uint8_t& read : reads)
        read = in.byte();
    std::string_view body = in.rest();
    bool anyBytes = false;
    for (uint8_t read : reads)
        anyBytes = anyBytes || read > 0;
    const std::vector<uint8_t> cuts = anyBytes ? reads : std::vector<uint8_t>{1};

    Decoded whole = decodeInReads(body, {});
    Decoded cut = decodeInReads(body, cuts);
    FUZZ_CHECK(cut.payload == whole.payload && cut.status == whole.status);

    if (body.size() <= 4096) {
        std::string wellFormed = framed(body, reads);
        Decoded back = decodeInReads(wellFormed, cuts);
        FUZZ_CHECK(back.status == ChunkStatus::Done && back.payload == body);
        back = decodeInReads(wellFormed, {});
        FUZZ_CHECK(back.status == ChunkStatus::Done && back.payload == body);
    }
    return 0;
}
