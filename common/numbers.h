// Reading numbers from settings and list files the way the C library's atoi does: leading blanks,
// an optional sign, decimal digits up to the first other character; no digits give 0. Values past
// the 32-bit range are held at its ends instead of overflowing.
#pragma once
#include <cstdint>
#include <string_view>

int32_t readInt(std::string_view text);

// Sizes are held below 2^62: a number read from text that reaches it stands for "larger than any
// file", and a size that large is refused wherever it would decide where bytes go.
constexpr uint64_t kHeldSize = uint64_t{1} << 62;

// A byte count of a list file: a plain decimal of any size (held at kHeldSize). A negative number
// is what earlier versions wrote for sizes past 2 GiB (their "%d" of a 32-bit count): it reads back
// as that 32-bit count, as it always has.
uint64_t readSize(std::string_view text);
