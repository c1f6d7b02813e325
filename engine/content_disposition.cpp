#include "engine/content_disposition.h"
#include "common/cp932.h"
#include "common/text.h"
#include "common/url_rules.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

struct Parameter {
    std::string_view name;
    std::string value;
};

// Reads the parameter that starts at `pos` (after a ';') and moves `pos` past its ';'. A quoted
// value keeps what its backslashes escape and may hold ';'; one never closed runs to the end.
Parameter nextParameter(std::string_view text, size_t& pos) {
    Parameter p;
    size_t equals = text.find_first_of("=;", pos);
    if (equals == std::string_view::npos || text[equals] == ';') {
        pos = equals == std::string_view::npos ? text.size() : equals + 1;
        return p;  // a parameter without a value names nothing
    }
    p.name = trimmed(text.substr(pos, equals - pos));
    size_t i = equals + 1;
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i < text.size() && text[i] == '"') {
        // Stepped in characters: a code page 932 name sent as it is may end a character in a backslash.
        for (++i; i < text.size() && text[i] != '"';) {
            if (charLength(text, i) == 1 && text[i] == '\\' && i + 1 < text.size()) ++i;
            p.value.append(text.substr(i, charLength(text, i)));
            i += charLength(text, i);
        }
        size_t end = text.find(';', i);
        pos = end == std::string_view::npos ? text.size() : end + 1;
    } else {
        size_t end = text.find(';', i);
        p.value = trimmed(text.substr(i, end == std::string_view::npos ? text.npos : end - i));
        pos = end == std::string_view::npos ? text.size() : end + 1;
    }
    return p;
}

// ISO-8859-1 bytes as UTF-8.
std::string utf8FromLatin1(std::string_view text) {
    std::string out;
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// charset'language'percent-encoded text, as code page 932; empty when unusable.
std::string extendedValue(std::string_view value, Cp932FromUtf8 convert) {
    size_t first = value.find('\'');
    size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
    if (second == std::string_view::npos) return {};
    std::string_view charset = value.substr(0, first);
    std::string bytes = percentDecoded(value.substr(second + 1));
    if (equalsNoCase(charset, "ISO-8859-1")) bytes = utf8FromLatin1(bytes);
    else if (!equalsNoCase(charset, "UTF-8")) return {};
    if (isAscii(bytes)) return bytes;
    std::string converted;
    return convert && convert(bytes, converted) ? converted : std::string();
}

// A plain value's bytes: UTF-8 converted where it can be, else taken as code page 932 already.
std::string plainValue(std::string_view value, Cp932FromUtf8 convert) {
    std::string converted;
    if (!isAscii(value) && convert && convert(value, converted)) return converted;
    return std::string(value);
}

// The last part of a path the server may have sent ("../a", "C:\x\a"), finished; nothing of dots
// and blanks only, which would name the folder itself or its parent.
std::string lastPartFinished(std::string_view name) {
    size_t cut = 0;
    for (size_t i = 0; i < name.size(); i += charLength(name, i))
        if (charLength(name, i) == 1 && (name[i] == '/' || name[i] == '\\' || name[i] == ':')) cut = i + 1;
    std::string_view part = name.substr(cut);
    if (part.find_first_not_of(". \t") == std::string_view::npos) return {};
    return finishedName(part);
}

}  // namespace

std::string dispositionName(std::string_view value, Cp932FromUtf8 convert) {
    size_t pos = value.find(';');
    if (pos == std::string_view::npos) return {};
    ++pos;
    std::string plain, extended;
    bool plainSeen = false, extendedSeen = false;
    while (pos < value.size()) {
        Parameter p = nextParameter(value, pos);
        if (!extendedSeen && equalsNoCase(p.name, "filename*")) {
            extendedSeen = true;
            extended = lastPartFinished(extendedValue(p.value, convert));
        } else if (!plainSeen && equalsNoCase(p.name, "filename")) {
            plainSeen = true;
            plain = lastPartFinished(plainValue(p.value, convert));
        }
    }
    return extended.empty() ? plain : extended;
}
