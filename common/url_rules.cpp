#include "common/url_rules.h"
#include "common/cp932.h"
#include "common/name_case.h"
#include "common/text.h"

namespace {

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool isForbiddenInName(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
           c == '<' || c == '>' || c == '|';
}

}  // namespace

bool isDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equalsNoCase(base, device)) return true;
    if (base.size() == 4 && (equalsNoCase(base.substr(0, 3), "COM") || equalsNoCase(base.substr(0, 3), "LPT")) &&
        base[3] >= '1' && base[3] <= '9')
        return true;
    return false;
}

std::string safeFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 1);
    bool onlyDots = true;
    for (size_t i = 0; i < name.size();) {
        size_t n = charLength(name, i);
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (n == 1 && isForbiddenInName(c)) {
            out += '_';
        } else {
            out.append(name.substr(i, n));
        }
        if (!(n == 1 && (c == '.' || c == ' '))) onlyDots = false;
        i += n;
    }
    if (!out.empty() && onlyDots) out.assign(out.size(), '_');
    if (isDeviceName(out)) out.insert(out.begin(), '_');
    return out;
}

SplitUrl splitUrl(std::string_view url) {
    size_t first = url.find('/');
    size_t second = first == std::string_view::npos ? first : url.find('/', first + 1);
    size_t third = second == std::string_view::npos ? second : url.find('/', second + 1);
    if (third == std::string_view::npos) return {false, {}, {}};
    return {true, std::string(url.substr(second + 1, third - second - 1)), std::string(url.substr(third))};
}

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != prefix[i]) return false;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

UrlScheme schemeOf(std::string_view url) {
    if (startsWithNoCase(url, "https://")) return UrlScheme::Https;
    if (startsWithNoCase(url, "http://")) return UrlScheme::Http;
    if (startsWithNoCase(url, "ftp://")) return UrlScheme::Ftp;
    return UrlScheme::Other;
}

// "192.0.2.1": four numbers of 0 to 255, without leading zeros (some readers take those as octal).
bool isDottedQuad(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        size_t dot = text.find('.');
        if ((dot == std::string_view::npos) != (part == 3)) return false;
        std::string_view number = text.substr(0, dot);
        if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0')) return false;
        int value = 0;
        for (char c : number) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255) return false;
        text.remove_prefix(number.size() + (dot == std::string_view::npos ? 0 : 1));
    }
    return true;
}

// The 16-bit groups `side` (one side of a "::", or a whole address without one) writes: hex groups
// between single colons, the last optionally a dotted IPv4 address worth two; -1 when it is not so
// written or holds more than eight.
int groupCount(std::string_view side, bool dottedTail) {
    if (side.empty()) return 0;
    for (int count = 0; count < 8;) {
        size_t colon = side.find(':');
        std::string_view group = side.substr(0, colon);
        if (colon == std::string_view::npos && dottedTail && group.find('.') != std::string_view::npos)
            return isDottedQuad(group) ? count + 2 : -1;
        if (group.empty() || group.size() > 4) return -1;
        for (char c : group)
            if (hexValue(c) < 0) return -1;
        ++count;
        if (colon == std::string_view::npos) return count;
        side.remove_prefix(colon + 1);
    }
    return -1;
}

// The length of the bracketed IPv6 literal that `host` begins with ("[::1]" of "[::1]:80"); 0
// when it begins with none.
size_t bracketedLength(std::string_view host) {
    size_t close = host.find(']');
    if (!host.starts_with('[') || close == std::string_view::npos) return 0;
    return isIpv6Literal(host.substr(1, close - 1)) ? close + 1 : 0;
}

// True when a host written without brackets holds a ':', '[' or ']' (a double-byte character's
// trail byte is none of them): an IPv6 address outside brackets, or brackets around anything else.
bool hasAddressMarks(std::string_view host) {
    for (size_t i = 0; i < host.size(); i += charLength(host, i))
        if (charLength(host, i) == 1 && (host[i] == ':' || host[i] == '[' || host[i] == ']')) return true;
    return false;
}

// The authority of `url` ("user:pw@host:port"): past its second '/', up to the next '/' or the
// end, as splitUrl takes it; `start` is npos when the URL has no second '/'.
struct Authority {
    size_t start;
    std::string_view text;
};

Authority authorityOf(std::string_view url) {
    size_t first = url.find('/');
    size_t second = first == std::string_view::npos ? first : url.find('/', first + 1);
    if (second == std::string_view::npos) return {second, {}};
    size_t end = url.find('/', second + 1);
    return {second + 1, url.substr(second + 1, end == std::string_view::npos ? end : end - second - 1)};
}

uint16_t defaultPort(UrlScheme scheme) {
    switch (scheme) {
    case UrlScheme::Http: return 80;
    case UrlScheme::Https: return 443;
    case UrlScheme::Ftp: return 21;
    case UrlScheme::Other: break;
    }
    return 0;
}

}  // namespace

bool isIpv6Literal(std::string_view host) {
    size_t gap = host.find("::");
    if (gap == std::string_view::npos) return groupCount(host, true) == 8;
    int before = groupCount(host.substr(0, gap), false);
    int after = groupCount(host.substr(gap + 2), true);  // a second "::" leaves an empty group here
    return before >= 0 && after >= 0 && before + after <= 7;  // "::" stands for one group at least
}

size_t ipv6HostEnd(std::string_view url) {
    Authority authority = authorityOf(url);
    if (authority.start == std::string_view::npos) return 0;
    size_t at = authority.text.rfind('@');
    size_t host = at == std::string_view::npos ? 0 : at + 1;
    size_t length = bracketedLength(authority.text.substr(host));
    return length == 0 ? 0 : authority.start + host + length;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        int high = text[i] == '%' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

UrlTarget urlTarget(std::string_view url) {
    UrlTarget target{};
    target.scheme = schemeOf(url);
    SplitUrl split = splitUrl(url);
    if (!split.ok) return target;
    std::string_view authority = split.host;
    // The password may hold a '@' of its own only encoded, so the last one ends the user part.
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view credentials = authority.substr(0, at);
        size_t colon = credentials.find(':');
        target.hasUser = true;
        target.user = percentDecoded(credentials.substr(0, colon));
        if (colon != std::string_view::npos) target.password = percentDecoded(credentials.substr(colon + 1));
        authority.remove_prefix(at + 1);
    }
    // A bracketed IPv6 literal's colons are its own: a port can only follow its ']'.
    size_t bracketed = bracketedLength(authority);
    std::string_view host =
        bracketed ? authority.substr(1, bracketed - 2) : authority.substr(0, authority.rfind(':'));
    std::string_view afterHost = authority.substr(bracketed ? bracketed : host.size());
    if (!afterHost.empty()) {
        if (afterHost[0] != ':') return target;  // "[::1]8080"
        uint32_t port = 0;
        for (char c : afterHost.substr(1)) {
            if (c < '0' || c > '9' || port > 65535) return target;
            port = port * 10 + static_cast<uint32_t>(c - '0');
        }
        if (port == 0 || port > 65535) return target;  // also an empty port: "host:/" names none we can use
        target.port = static_cast<uint16_t>(port);
    }
    if (host.empty() || (!bracketed && hasAddressMarks(host))) return target;
    target.host = host;
    target.path = split.path.substr(0, split.path.find('#'));
    target.ok = true;
    return target;
}

bool sameOrigin(const UrlTarget& a, const UrlTarget& b, uint32_t listPort) {
    return a.ok && b.ok && a.scheme == b.scheme && sameName(a.host, b.host) &&
           connectPort(a, listPort) == connectPort(b, listPort);
}

std::string publicUrl(std::string_view url) {
    Authority authority = authorityOf(url);
    std::string out(url);
    size_t hostStart = 0;
    if (authority.start != std::string_view::npos) {
        hostStart = authority.start;
        // The user part ends at the last '@' before the path, as urlTarget reads it: a password
        // may hold a '#' or '?' of its own.
        size_t at = authority.text.rfind('@');
        if (at != std::string_view::npos) out.erase(hostStart, at + 1);
    }
    size_t fragment = out.find('#', hostStart);
    if (fragment != std::string::npos) out.erase(fragment);
    return out;
}

uint16_t connectPort(const UrlTarget& target, uint32_t listPort) {
    if (target.port != 0) return target.port;
    if (target.scheme == UrlScheme::Https) return 443;
    return static_cast<uint16_t>(listPort);
}

std::string hostLineValue(const UrlTarget& target) {
    std::string host = isIpv6Literal(target.host) ? "[" + target.host + "]" : target.host;
    if (target.port == 0 || target.port == defaultPort(target.scheme)) return host;
    return host + ":" + std::to_string(target.port);
}

bool hasControlCharacter(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

bool breaksLine(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

const char* lineBreakingPart(const UrlTarget& target) {
    if (breaksLine(target.user)) return "ユーザー名";
    if (breaksLine(target.password)) return "パスワード";
    if (breaksLine(percentDecoded(target.host))) return "ホスト名";
    if (breaksLine(percentDecoded(target.path))) return "パス";
    return nullptr;
}

std::string urlFolderPart(std::string_view fullUrl) {
    std::string shown = publicUrl(fullUrl);  // a password never becomes a folder name
    std::string_view url = shown;
    size_t hostStart = authorityOf(url).start;
    if (hostStart == std::string_view::npos) return {};
    std::string_view rest = url.substr(hostStart);
    size_t last = rest.rfind('/');
    if (last == std::string_view::npos) return safeFileName(rest);  // host only: no trailing backslash

    // Every folder of "host/a/b/" becomes one plain name; empty parts are skipped.
    std::string out;
    std::string_view folders = rest.substr(0, last + 1);
    for (size_t start = 0; start < folders.size();) {
        size_t end = folders.find('/', start);
        std::string_view part = folders.substr(start, end - start);
        if (!part.empty()) {
            out += safeFileName(part);
            out += '\\';
        }
        start = end + 1;
    }
    return out;
}

std::string folderOfPath(std::string_view path) {
    size_t cut = std::string_view::npos;
    for (size_t i = 0; i < path.size(); i += charLength(path, i))
        if (path[i] == '\\' && charLength(path, i) == 1 && i + 1 < path.size()) cut = i;
    if (cut == std::string_view::npos) return std::string(path.substr(0, path.empty() ? 0 : charLength(path, 0)));
    return std::string(path.substr(0, cut + 1));
}

std::string containingFolder(std::string_view path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); i += charLength(path, i))
        if (path[i] == '\\' && charLength(path, i) == 1) end = i + 1;
    return std::string(path.substr(0, end));
}

std::string refererLine(unsigned mode, std::string_view url, std::string_view fixedReferer) {
    // The user's password and the page's fragment are the user's own, never the server's.
    std::string shown = publicUrl(url);
    std::string_view itemUrl = shown;
    std::string referer;
    switch (mode) {
    case REFERER_NONE: return {};
    case REFERER_URL: referer = itemUrl; break;
    case REFERER_FIXED: referer = fixedReferer; break;
    default: {
        size_t slash = itemUrl.rfind('/');
        referer = slash == std::string_view::npos ? std::string{} : std::string(itemUrl.substr(0, slash + 1));
        if (mode == REFERER_INDEX) referer += "index.html";
        break;
    }
    }
    return "Referer: " + referer + "\r\n";
}

std::string basicCredentials(std::string_view user, std::string_view password) {
    std::string joined;
    joined.append(user).append(":").append(password);
    std::string out;
    out.reserve((joined.size() + 2) / 3 * 4);
    for (size_t i = 0; i < joined.size(); i += 3) {
        size_t n = joined.size() - i < 3 ? joined.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < n ? static_cast<unsigned char>(joined[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? kBase64[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}
