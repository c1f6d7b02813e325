#include "intake/paste_scan.h"
#include "common/cp932.h"
#include "common/text.h"
#include "common/url_rules.h"

namespace {

constexpr std::string_view kSchemes[] = {"http://", "https://", "ftp://"};

// The passes of a paste: the web schemes together, so that http and https URLs keep their order in
// the text, then ftp.
struct SchemePass {
    std::string_view first;
    std::string_view second;  // empty when the pass has one scheme
};
constexpr SchemePass kPasses[] = {{"http://", "https://"}, {"ftp://", {}}};

bool startsWithScheme(std::string_view text, size_t at, std::string_view scheme) {
    if (text.size() - at < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (lowerAscii(text[at + i]) != scheme[i]) return false;
    return true;
}

// First scheme of `pass` at or after `from` that starts a character of its own: the second byte of
// a double-byte character is never taken for the 'h' or 'f' of a scheme.
size_t findScheme(std::string_view text, size_t from, const SchemePass& pass) {
    for (size_t i = from; i < text.size(); i += charLength(text, i))
        if (startsWithScheme(text, i, pass.first) || (!pass.second.empty() && startsWithScheme(text, i, pass.second)))
            return i;
    return std::string_view::npos;
}

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

bool startsWithUrlScheme(std::string_view text) {
    for (std::string_view scheme : kSchemes)
        if (startsWithScheme(text, 0, scheme)) return true;
    return false;
}

std::string urlTooLongText() { return "ＵＲＬは" + std::to_string(kMaxUrlLength) + "文字までです"; }

std::string urlsTooLongText(int count) {
    std::string limit = std::to_string(kMaxUrlLength);
    return limit + "文字を超えるＵＲＬ " + std::to_string(count) + " 個は登録しませんでした";
}

PasteScan scanPastedText(std::string_view text, int rowCount) {
    PasteScan scan{};
    int rows = rowCount;
    for (const SchemePass& pass : kPasses) {
        size_t from = 0;
        for (;;) {
            if (rows >= kMaxListItems) {
                scan.limitReached = true;
                return scan;
            }
            size_t start = findScheme(text, from, pass);
            if (start == std::string_view::npos) break;
            size_t end = start;
            while (end < text.size() && !isLineBreak(text[end])) ++end;
            std::string_view line = text.substr(start, end - start);
            if (line.size() > kMaxUrlLength) {
                ++scan.refused;
            } else {
                scan.urls.push_back(line);
                ++rows;
            }
            from = end;
            while (from < text.size() && isLineBreak(text[from])) ++from;
        }
    }
    return scan;
}
