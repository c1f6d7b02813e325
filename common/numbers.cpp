#include "common/numbers.h"

namespace {

size_t afterBlanks(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    return i;
}

}  // namespace

int32_t readInt(std::string_view text) {
    size_t i = afterBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
    }
    if (negative) return static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

uint64_t readSize(std::string_view text) {
    size_t i = afterBlanks(text);
    if (i < text.size() && text[i] == '-') return static_cast<uint32_t>(readInt(text));
    if (i < text.size() && text[i] == '+') ++i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        value = value > (kHeldSize - digit) / 10 ? kHeldSize : value * 10 + digit;  // exact up to kHeldSize
    }
    return value;
}
