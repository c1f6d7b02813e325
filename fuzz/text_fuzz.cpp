// The bounded copies every fixed array goes through, and code page 932 stepping: a copy never passes
// its array, always ends in NUL and never splits a double-byte character.
//
// Input: one byte for the array size, the text already in the array up to the first NUL, then the
// text to copy or append.
#include "common/cp932.h"
#include "common/text.h"
#include "fuzz_input.h"
#include <cstring>
#include <vector>

namespace {

// Where each character of `text` starts, stepping as the program does.
std::vector<bool> characterStarts(std::string_view text) {
    std::vector<bool> starts(text.size() + 1, false);
    size_t i = 0;
    for (; i < text.size(); i += charLength(text, i)) {
        size_t n = charLength(text, i);
        FUZZ_CHECK(n == 1 || n == 2);
        if (n == 2) FUZZ_CHECK(isLeadByte(static_cast<unsigned char>(text[i])) &&
                               isTrailByte(static_cast<unsigned char>(text[i + 1])));
        starts[i] = true;
    }
    FUZZ_CHECK(i == text.size());  // the last character never runs past the end
    starts[i] = true;
    return starts;
}

void checkFitting(std::string_view text, size_t room, const std::vector<bool>& starts) {
    size_t n = fittingLength(text, room);
    FUZZ_CHECK(n <= room && n <= text.size());
    if (text.size() <= room) {
        FUZZ_CHECK(n == text.size());
        return;
    }
    FUZZ_CHECK(starts[n]);                              // never in the middle of a character
    FUZZ_CHECK(n + charLength(text, n) > room);         // and as long as it can be
}

void checkFindLast(std::string_view text, char c, const std::vector<bool>& starts) {
    size_t found = findLastChar(text, c);
    size_t expected = std::string_view::npos;
    for (size_t i = 0; i < text.size(); ++i)
        if (starts[i] && text[i] == c && charLength(text, i) == 1) expected = i;
    FUZZ_CHECK(found == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    size_t arraySize = 1 + in.byte();
    std::string_view held = in.piece();
    ExactBytes text(in.rest());
    std::string_view view = text.view();

    std::vector<bool> starts = characterStarts(view);
    for (size_t room : {size_t{0}, size_t{1}, arraySize - 1, arraySize, view.size() / 2, view.size()})
        checkFitting(view, room, starts);
    for (char c : {'\\', '/', '|', '['}) checkFindLast(view, c, starts);

    // A copy into an array of exactly arraySize bytes.
    std::unique_ptr<char[]> array(new char[arraySize]);
    size_t copied = copyText(array.get(), arraySize, view);
    FUZZ_CHECK(copied == fittingLength(view, arraySize - 1));
    FUZZ_CHECK(array[copied] == '\0' && std::memcmp(array.get(), view.data(), copied) == 0);

    // A default view, as an empty header value or a path without a folder gives, has no pointer.
    if (view.empty()) {
        FUZZ_CHECK(copyText(array.get(), arraySize, std::string_view{}) == 0 && array[0] == '\0');
        FUZZ_CHECK(appendText(array.get(), arraySize, std::string_view{}) == 0);
    }

    // An append to what the array already holds (itself cut to fit).
    size_t used = copyText(array.get(), arraySize, held);
    size_t present = strnlen(array.get(), arraySize);
    FUZZ_CHECK(present == used);  // `held` has no NUL
    size_t total = appendText(array.get(), arraySize, view);
    FUZZ_CHECK(total == present + fittingLength(view, arraySize - 1 - present));
    FUZZ_CHECK(total < arraySize && array[total] == '\0');
    FUZZ_CHECK(std::memcmp(array.get() + present, view.data(), total - present) == 0);
    return 0;
}
