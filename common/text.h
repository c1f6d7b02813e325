// Bounded text helpers. Every copy into a fixed array goes through here: the text is cut at the
// array's size (never in the middle of a double-byte character) and always terminated.
#pragma once
#include <cstddef>
#include <string_view>

// ASCII letters in lower case; every other byte (double-byte halves too) as it is.
constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `a` and `b` differ at most in the case of ASCII letters (header names, hosts, devices).
constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// Length of the longest prefix of `text` that fits in `room` bytes without splitting a
// double-byte character.
size_t fittingLength(std::string_view text, size_t room);

// Copies `text` into `dst` (size `size`, at least 1), cut to fit. Returns the length copied.
size_t copyText(char* dst, size_t size, std::string_view text);

// Appends `text` to the zero-terminated contents of `dst`, cut to fit. Returns the new length.
size_t appendText(char* dst, size_t size, std::string_view text);

template <size_t N> size_t copyText(char (&dst)[N], std::string_view text) { return copyText(dst, N, text); }
template <size_t N> size_t appendText(char (&dst)[N], std::string_view text) { return appendText(dst, N, text); }

// The zero-terminated contents of a fixed array, never reading past it.
template <size_t N> std::string_view textOf(const char (&src)[N]) {
    size_t n = 0;
    while (n < N && src[n] != '\0') ++n;
    return {src, n};
}
