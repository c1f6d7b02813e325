// Reading numbers from settings and list files the way the C library's atoi does: leading blanks,
// an optional sign, decimal digits up to the first other character; no digits give 0. Values past
// the 32-bit range are held at its ends instead of overflowing.
#pragma once
#include <cstdint>
#include <string_view>

int32_t readInt(std::string_view text);
