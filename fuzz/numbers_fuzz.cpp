// The number readers that stand in for atoi: readInt (settings, list files, URL patterns, reply
// codes), readSize (sizes in list files) and tokenValue (header values, 64 bits wide). All are
// compared with the C library's strtoll on a terminated copy of the same text.
//
// Input: the text, in a block of exactly its length.
#include "common/numbers.h"
#include "engine/http_header.h"
#include "fuzz_input.h"
#include <cerrno>
#include <climits>
#include <string>

namespace {

constexpr int64_t kHeld = int64_t{1} << 62;

int64_t clampTo(long long value, int64_t low, int64_t high) { return value < low ? low : value > high ? high : value; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExactBytes text(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string_view view = text.view();

    // strtoll reads the same grammar (C locale blanks, one sign, decimal digits) and holds values
    // past its range at LLONG_MIN or LLONG_MAX; it stops at a NUL as the readers stop at any
    // character that is no digit.
    std::string terminated(view);
    errno = 0;
    long long reference = std::strtoll(terminated.c_str(), nullptr, 10);

    int32_t value = readInt(view);
    FUZZ_CHECK(value == clampTo(reference, INT32_MIN, INT32_MAX));

    int64_t wide = tokenValue(view);
    int64_t expected = clampTo(reference, -kHeld, kHeld);
    // tokenValue holds a value from 2^62 - 4 on rather than from 2^62 exactly: harmless, since any
    // size held there is refused.
    if (expected >= kHeld - 4) expected = kHeld;
    if (expected <= -(kHeld - 4)) expected = -kHeld;
    FUZZ_CHECK(wide == expected);

    // readSize: what readInt gives, as 32 bits, for a negative number; otherwise the value held at
    // kHeldSize (strtoll's LLONG_MAX is past it).
    size_t lead = terminated.find_first_not_of(" \t\n\v\f\r");
    bool negative = lead != std::string::npos && terminated[lead] == '-';
    uint64_t bytes = readSize(view);
    if (negative) FUZZ_CHECK(bytes == static_cast<uint32_t>(value));
    else FUZZ_CHECK(bytes == static_cast<uint64_t>(clampTo(reference, 0, static_cast<int64_t>(kHeldSize))));
    return 0;
}
