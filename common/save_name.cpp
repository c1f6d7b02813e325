#include "common/save_name.h"
#include "common/cp932.h"
#include "common/text.h"
#include "common/url_rules.h"
#include <algorithm>

namespace {

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string decodedName(std::string_view text, Cp932FromUtf8 convert) {
    std::string decoded = percentDecoded(text);
    if (decoded == text || isAscii(decoded)) return decoded;
    std::string converted;
    if (convert && convert(decoded, converted)) return converted;
    return std::string(text);
}

std::string finishedName(std::string_view name) {
    std::string safe = safeFileName(name);
    // Windows drops them when it creates the file, so "a." would be the file of "a": two items
    // could share a file under names that differ. A name of dots only is underscores by now.
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
    return nameWithin(safe, "", kMaxNameBytes);
}

namespace {

// The '/' that begins the URL's path, after its host; npos when it has none.
size_t pathStart(std::string_view url) {
    size_t first = url.find('/');
    size_t second = first == std::string_view::npos ? first : url.find('/', first + 1);
    return second == std::string_view::npos ? second : url.find('/', second + 1);
}

}  // namespace

size_t pathEnd(std::string_view url) {
    size_t path = pathStart(url);
    if (path == std::string_view::npos) return url.size();
    return std::min(url.find_first_of("?#", path), url.size());
}

std::string registrationName(std::string_view url, Cp932FromUtf8 convert) {
    size_t start = pathStart(url);
    std::string_view path = start == std::string_view::npos ? std::string_view{} : url.substr(start, pathEnd(url) - start);
    std::string_view segment = path.substr(path.empty() ? 0 : path.rfind('/') + 1);
    std::string name = finishedName(decodedName(segment, convert));
    return name.empty() ? std::string("index.html") : name;
}

std::string_view extensionOf(std::string_view name) {
    size_t dot = findLastChar(name, '.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view{} : name.substr(dot);
}

namespace {

std::string cutWithin(std::string_view name, std::string_view suffix, size_t room) {
    std::string_view extension = extensionOf(name);
    std::string_view stem = name.substr(0, name.size() - extension.size());
    if (extension.size() + suffix.size() > room) {
        stem = name;
        extension = {};
    }
    size_t stemRoom = room > extension.size() + suffix.size() ? room - extension.size() - suffix.size() : 0;
    std::string_view kept = stem.substr(0, fittingLength(stem, stemRoom));
    // A cut may end the stem in a dot or blank, which Windows would drop from a name's end.
    if (kept.size() < stem.size() && extension.empty() && suffix.empty())
        while (!kept.empty() && (kept.back() == '.' || kept.back() == ' ')) kept.remove_suffix(1);
    std::string out(kept);
    out.append(suffix).append(extension);
    return out.substr(0, fittingLength(out, room));
}

}  // namespace

std::string nameWithin(std::string_view name, std::string_view suffix, size_t room) {
    std::string out = cutWithin(name, suffix, room);
    // A cut can leave a device's name ("NULxxxx.ext" becomes "NUL.ext", "CONFIG.SYS" "CON.SYS"),
    // and the bytes would go to the device: the rule that keeps names off devices comes last.
    if (isDeviceName(out) && room > 1) return "_" + cutWithin(name, suffix, room - 1);
    return out;
}
