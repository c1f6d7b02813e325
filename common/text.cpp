#include "common/text.h"
#include "common/cp932.h"
#include <cstring>

size_t fittingLength(std::string_view text, size_t room) {
    if (text.size() <= room) return text.size();
    size_t n = 0;
    while (n < text.size()) {
        size_t step = charLength(text, n);
        if (n + step > room) break;
        n += step;
    }
    return n;
}

size_t copyText(char* dst, size_t size, std::string_view text) {
    if (size == 0) return 0;
    size_t n = fittingLength(text, size - 1);
    // An empty view may carry a null pointer, which memmove must not get even for no bytes.
    if (n > 0) std::memmove(dst, text.data(), n);
    dst[n] = '\0';
    return n;
}

size_t appendText(char* dst, size_t size, std::string_view text) {
    if (size == 0) return 0;
    size_t used = strnlen(dst, size - 1);
    return used + copyText(dst + used, size - used, text);
}
