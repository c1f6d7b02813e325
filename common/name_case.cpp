#include "common/name_case.h"
#include "common/cp932.h"
#include <cstdint>

namespace {

// Runs of double-byte codes that Windows takes for other codes: `count` codes from `from` each
// stand for the code as far from `to`. The smallest code of each group is its form. Made from the
// platform's own conversion and upper-casing, which a Windows test compares the table with.
struct SameRun {
    uint16_t from, to, count;
};
constexpr SameRun kSameRuns[] = {
    {0x8281, 0x8260, 26}, {0x83BF, 0x839F, 24}, {0x8470, 0x8440, 15}, {0x8480, 0x844F, 18},
    {0x8790, 0x81E0, 1},  {0x8791, 0x81DF, 1},  {0x8792, 0x81E7, 1},  {0x8795, 0x81E3, 1},
    {0x8796, 0x81DB, 1},  {0x8797, 0x81DA, 1},  {0x879A, 0x81E6, 1},  {0x879B, 0x81BF, 1},
    {0x879C, 0x81BE, 1},  {0xEEEF, 0x8754, 10}, {0xEEF9, 0x81CA, 1},  {0xFA40, 0x8754, 10},
    {0xFA4A, 0x8754, 10}, {0xFA54, 0x81CA, 1},  {0xFA55, 0xEEFA, 3},  {0xFA58, 0x878A, 1},
    {0xFA59, 0x8782, 1},  {0xFA5A, 0x8784, 1},  {0xFA5B, 0x81E6, 1},  {0xFA5C, 0xED40, 35},
    {0xFA80, 0xED63, 28}, {0xFA9C, 0xED80, 97}, {0xFB40, 0xEDE1, 28}, {0xFB5C, 0xEE40, 35},
    {0xFB80, 0xEE63, 28}, {0xFB9C, 0xEE80, 97}, {0xFC40, 0xEEE1, 12},
};

uint16_t formOf(uint16_t code) {
    for (const SameRun& run : kSameRuns)
        if (code >= run.from && code < run.from + run.count) return static_cast<uint16_t>(run.to + (code - run.from));
    return code;
}

}  // namespace

std::string nameKey(std::string_view text) {
    std::string key(text);
    for (size_t i = 0; i < key.size();) {
        if (charLength(key, i) == 1) {
            if (key[i] >= 'a' && key[i] <= 'z') key[i] = static_cast<char>(key[i] - 'a' + 'A');
            ++i;
            continue;
        }
        // Only codes from row 0x82 up have another form; the run check is cheap for the rest.
        auto lead = static_cast<unsigned char>(key[i]);
        if (lead >= 0x82) {
            uint16_t form = formOf(static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(key[i + 1])));
            key[i] = static_cast<char>(form >> 8);
            key[i + 1] = static_cast<char>(form & 0xFF);
        }
        i += 2;
    }
    return key;
}

bool sameName(std::string_view a, std::string_view b) { return a.size() == b.size() && nameKey(a) == nameKey(b); }
