// Code page 932 (Shift-JIS) double-byte stepping. A lead byte 0x81..0x9F or 0xE0..0xFC followed by
// a trail byte 0x40..0x7E or 0x80..0xFC is one character; a trail byte may be 0x5C ('\') or 0x7C
// ('|'), so every scan for a separator must step over whole characters.
#pragma once
#include <cstddef>
#include <string_view>

constexpr bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
constexpr bool isTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Bytes taken by the character at `i`: 2 for a complete double-byte pair, else 1.
inline size_t charLength(std::string_view s, size_t i) {
    if (i + 1 < s.size() && isLeadByte(static_cast<unsigned char>(s[i])) &&
        isTrailByte(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

// Position of the last single-byte `c` in `s` that is not part of a double-byte character, or npos.
size_t findLastChar(std::string_view s, char c);
