// The request lines formed from settings and the item's URL: the Referer line in every mode and
// the Base64 credentials of the Authorization line.
//
// Input: one byte choosing the Referer mode, then the item URL, the fixed Referer, the user and the
// password, separated by NULs.
#include "common/url_rules.h"
#include "fuzz_input.h"
#include <string>

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void checkReferer(unsigned mode, std::string_view url, std::string_view fixed) {
    std::string line = refererLine(mode, url, fixed);
    if (mode == REFERER_NONE) {
        FUZZ_CHECK(line.empty());
        return;
    }
    FUZZ_CHECK(line.size() >= 11 && line.compare(0, 9, "Referer: ") == 0);
    FUZZ_CHECK(line.compare(line.size() - 2, 2, "\r\n") == 0);
    std::string_view referer = std::string_view(line).substr(9, line.size() - 11);
    // Built from the URL without its user, password and fragment: the same host and port, no user.
    std::string shownText = publicUrl(url);
    std::string_view shown = shownText;
    FUZZ_CHECK(shown.size() <= url.size());
    UrlTarget before = urlTarget(url), after = urlTarget(shown);
    if (before.ok && before.host.find('#') == std::string::npos) {
        FUZZ_CHECK(after.ok && !after.hasUser && after.host == before.host && after.port == before.port);
        FUZZ_CHECK(after.path == before.path);
    }
    switch (mode) {
    case REFERER_URL: FUZZ_CHECK(referer == shown); break;
    case REFERER_FIXED: FUZZ_CHECK(referer == fixed); break;
    default: {
        // The URL up to and with its last '/', then "index.html" in the index mode.
        std::string_view folder = referer;
        if (mode == REFERER_INDEX) {
            FUZZ_CHECK(referer.size() >= 10 && referer.substr(referer.size() - 10) == "index.html");
            folder.remove_suffix(10);
        }
        size_t slash = shown.rfind('/');
        FUZZ_CHECK(folder == (slash == std::string_view::npos ? std::string_view{} : shown.substr(0, slash + 1)));
        break;
    }
    }
}

std::string decode(std::string_view text) {
    std::string out;
    uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        if (c == '=') break;
        size_t value = kAlphabet.find(c);
        FUZZ_CHECK(value != std::string_view::npos);
        bits = (bits << 6) | static_cast<uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out += static_cast<char>((bits >> held) & 0xFF);
        }
    }
    return out;
}

void checkCredentials(std::string_view user, std::string_view password) {
    std::string encoded = basicCredentials(user, password);
    size_t n = user.size() + 1 + password.size();
    FUZZ_CHECK(encoded.size() == (n + 2) / 3 * 4);
    size_t padding = (3 - n % 3) % 3;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (i >= encoded.size() - padding) {
            FUZZ_CHECK(encoded[i] == '=');
        } else {
            FUZZ_CHECK(kAlphabet.find(encoded[i]) != std::string_view::npos);
        }
    }
    std::string joined(user);
    joined.append(":").append(password);
    FUZZ_CHECK(decode(encoded) == joined);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t choice = in.byte();
    ExactBytes url(in.piece());
    ExactBytes fixed(in.piece());
    ExactBytes user(in.piece());
    ExactBytes password(in.rest());

    // The five modes of the settings page, and ids no page writes (a hand-edited settings file).
    unsigned mode = choice < 250 ? REFERER_NONE + choice % 5 : choice;
    checkReferer(mode, url.view(), fixed.view());
    checkCredentials(user.view(), password.view());
    return 0;
}
