// Clipboard text scanned for URLs: every URL found lies in the text, starts with its scheme, stays on
// its line, is taken whole (its line, at most kMaxUrlLength long), and the list never takes more than
// it holds.
//
// Input: one byte for the rows the list already shows (few, or close to full), then the text.
#include "common/cp932.h"
#include "common/url_rules.h"
#include "fuzz_input.h"
#include "intake/paste_scan.h"
#include "lists/download_list.h"
#include <vector>

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view scheme) {
    if (text.size() < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (lower(text[i]) != scheme[i]) return false;
    return true;
}

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t choice = in.byte();
    int rowCount = choice < 200 ? choice : kMaxListItems + 199 - choice;  // 0..199, or 968..1023
    ExactBytes text(in.rest());
    std::string_view all = text.view();

    PasteScan scan = scanPastedText(all, rowCount);

    int rows = rowCount + static_cast<int>(scan.urls.size());
    FUZZ_CHECK(rows <= (rowCount > kMaxListItems ? rowCount : kMaxListItems));
    FUZZ_CHECK(scan.limitReached == (rows >= kMaxListItems));

    // Where a character starts: a URL never begins on the second byte of a double-byte character.
    std::vector<bool> starts(all.size() + 1, false);
    for (size_t i = 0; i < all.size(); i += charLength(all, i)) starts[i] = true;

    bool inFtp = false;
    size_t nextFrom = 0;
    for (std::string_view url : scan.urls) {
        FUZZ_CHECK(url.data() >= all.data() && url.data() + url.size() <= all.data() + all.size());
        size_t at = static_cast<size_t>(url.data() - all.data());
        FUZZ_CHECK(starts[at]);
        bool http = startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");  // one pass
        FUZZ_CHECK(http || startsWithNoCase(url, "ftp://"));
        if (!http && !inFtp) {
            inFtp = true;  // every http URL comes before every ftp URL
            nextFrom = 0;
        }
        FUZZ_CHECK(http != inFtp);
        FUZZ_CHECK(at >= nextFrom);  // text order, and at most one URL of a scheme per line

        size_t end = at;
        while (end < all.size() && !isLineBreak(all[end])) ++end;
        std::string_view line = all.substr(at, end - at);
        FUZZ_CHECK(url == line);  // never cut
        FUZZ_CHECK(url.size() <= kMaxUrlLength);
        nextFrom = end;
    }
    return 0;
}
