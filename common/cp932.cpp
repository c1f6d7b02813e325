#include "common/cp932.h"

size_t findLastChar(std::string_view s, char c) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); i += charLength(s, i))
        if (s[i] == c && charLength(s, i) == 1) found = i;
    return found;
}
