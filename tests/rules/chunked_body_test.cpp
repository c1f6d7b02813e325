#include "engine/chunked_body.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Decoded {
    std::string payload;
    ChunkStatus status = ChunkStatus::More;
    uint64_t closed = 0;  // payload of the chunks whose line end came
};

// Feeds `body` in pieces of `pieceSize` bytes, each in a block of exactly its size so that the
// sanitizers catch a read or write past a piece, and keeps going after Done or Bad.
Decoded decodeInPieces(const std::string& body, size_t pieceSize) {
    ChunkDecoder decoder;
    Decoded result;
    for (size_t at = 0; at < body.size(); at += pieceSize) {
        std::vector<char> piece(body.begin() + at, body.begin() + std::min(body.size(), at + pieceSize));
        size_t payload = 0;
        result.status = decodeChunks(decoder, piece.data(), piece.size(), payload);
        result.payload.append(piece.data(), payload);
    }
    result.closed = decoder.closedPayload;
    return result;
}

const char* name(ChunkStatus status) {
    return status == ChunkStatus::Done ? "Done" : status == ChunkStatus::Bad ? "Bad" : "More";
}

TEST(ChunkedBody, SamePayloadAndOutcomeHoweverTheBodyIsCut) {
    const std::string x4000(4000, 'x'), x5000(5000, 'x'), y70000(70000, 'y');
    struct Case {
        std::string body;
        std::string payload; // the bytes decoded, up to the fault for a Bad body
        ChunkStatus status;
        size_t closed = std::string::npos;  // of them, those of closed chunks (npos: all)
    } cases[] = {
        {"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", "hello world", ChunkStatus::Done},
        {"B\r\nhello world\r\nb\r\nHELLO WORLD\r\n0\r\n\r\n", "hello worldHELLO WORLD", ChunkStatus::Done},
        {"0005 \t;name=\"v;a\"\r\nhello\r\n5\t \r\nworld\r\n0;last\r\n\r\n", "helloworld", ChunkStatus::Done},
        {"5;" + x4000 + "\r\nhello\r\n5;" + x4000 + "\r\nworld\r\n0\r\n\r\n", "helloworld",
         ChunkStatus::Done},
        {"5\r\nhello\r\n0\r\nExpires: never\r\nX-Sum: 1\r\n\r\n", "hello", ChunkStatus::Done},
        {"5\nhello\n0\nX-Sum: 1\n\n", "hello", ChunkStatus::Done},
        {"0\r\nX: " + x5000 + "\r\n\r\n", "", ChunkStatus::Done}, // a trailer may be longer than a size line
        {"4\r\n\r\n0\r\r\n0\r\n\r\n", "\r\n0\r", ChunkStatus::Done},   // data is never read as framing
        {"3\r\nabc\r\n0\r\n\r\n5\r\nextra", "abc", ChunkStatus::Done}, // bytes after the body
        {"0\r\n\r\n", "", ChunkStatus::Done},
        {"", "", ChunkStatus::More},
        {"5\r\nhel", "hel", ChunkStatus::More, 0},
        {"5\r\nhello\r\n0\r\n", "hello", ChunkStatus::More},
        {"5\r\nhello\r\n0\r\nX: 1\r\n", "hello", ChunkStatus::More},
        {"FFFFFFFFFFFFFFF\r\nabc", "abc", ChunkStatus::More, 0}, // 15 digits is the most, but fine
        {"1000000000000000\r\nabc", "", ChunkStatus::Bad},
        {"zz\r\nabc", "", ChunkStatus::Bad},
        {"-5\r\nhello", "", ChunkStatus::Bad},
        {"0x10\r\nhello", "", ChunkStatus::Bad},
        {" 5\r\nhello", "", ChunkStatus::Bad},
        {"1 2\r\nhello", "", ChunkStatus::Bad},
        {"\r\n5\r\nhello", "", ChunkStatus::Bad},
        {"5\rhello", "", ChunkStatus::Bad},
        {"3\r\nabc\r\n5\r\nabc\r\n0\r\n\r\n", "abcabc\r\n", ChunkStatus::Bad, 3}, // a size longer than the data
        {"2\r\nabc\r\n0\r\n\r\n", "ab", ChunkStatus::Bad, 0},      // a size shorter than the data
        {"5\r\nhello\rX", "hello", ChunkStatus::Bad, 0},
        {"3\r\nabc\r\n;x\r\n", "abc", ChunkStatus::Bad},
        {"5;" + x5000 + "\r\nhello\r\n0\r\n\r\n", "", ChunkStatus::Bad},
        {"0\r\nX: " + y70000 + "\r\n\r\n", "", ChunkStatus::Bad},
        {"0\r\nX: 1\rY", "", ChunkStatus::Bad},
        {"0\r\n\rY", "", ChunkStatus::Bad},
    };
    for (const Case& c : cases) {
        for (size_t pieceSize : {std::max<size_t>(c.body.size(), 1), size_t{1}, size_t{7}}) {
            Decoded got = decodeInPieces(c.body, pieceSize);
            EXPECT_EQ(got.payload, c.payload) << c.body.substr(0, 40) << " in pieces of " << pieceSize;
            EXPECT_STREQ(name(got.status), name(c.status))
                << c.body.substr(0, 40) << " in pieces of " << pieceSize;
            EXPECT_EQ(got.closed, c.closed == std::string::npos ? c.payload.size() : c.closed)
                << c.body.substr(0, 40) << " in pieces of " << pieceSize;
        }
    }
}

} // namespace
