#include "common/proxy_rules.h"
#include "common/numbers.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (size_t i = 0; i < start.size(); ++i)
        if (lower(text[i]) != lower(start[i])) return false;
    return true;
}

bool equalNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && startsWithNoCase(a, b); }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The next entry of a list separated by ';' (and, as WinHTTP writes its lists, blanks), trimmed.
std::string_view nextEntry(std::string_view& list) {
    size_t end = list.find_first_of("; \t");
    std::string_view entry = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    return entry;
}

// `name` against a bypass pattern: '*' stands for any run of characters, the rest in any case.
bool matchesPattern(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && lower(pattern[p]) == lower(name[n])) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

const char* schemeName(UrlScheme scheme) {
    switch (scheme) {
    case UrlScheme::Http: return "http";
    case UrlScheme::Https: return "https";
    case UrlScheme::Ftp: return "ftp";
    default: return "";
    }
}

std::string bracketed(const std::string& host) { return isIpv6Literal(host) ? "[" + host + "]" : host; }

}  // namespace

ProxyAddress proxyAddress(std::string_view text) {
    ProxyAddress address;
    text = trimmed(text);
    if (startsWithNoCase(text, "http://")) text.remove_prefix(7);
    text = text.substr(0, text.find('/'));
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos) return address;
        host = text.substr(1, close - 1);
        if (!isIpv6Literal(host)) return address;
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return address;
        if (!rest.empty()) port = rest.substr(1);
        if (rest.size() == 1) return address;  // a ':' without a port
    } else if (size_t colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) return address;
    }
    if (host.empty()) return address;
    for (char c : host)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '@' || c == '[' || c == ']' ||
            (c == ':' && !isIpv6Literal(host)))
            return address;
    uint32_t number = 80;
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) return address;
        number = static_cast<uint32_t>(readInt(port));
        if (number == 0 || number > 65535) return address;
    }
    address.ok = true;
    address.host = std::string(host);
    address.port = static_cast<uint16_t>(number);
    return address;
}

std::string proxyServerFor(std::string_view server, UrlScheme scheme) {
    if (server.find('=') == std::string_view::npos) {
        while (!server.empty()) {
            std::string_view entry = nextEntry(server);
            if (!entry.empty()) return std::string(entry);
        }
        return {};
    }
    while (!server.empty()) {
        std::string_view entry = nextEntry(server);
        size_t equals = entry.find('=');
        if (equals != std::string_view::npos && equalNoCase(trimmed(entry.substr(0, equals)), schemeName(scheme)))
            return std::string(trimmed(entry.substr(equals + 1)));
    }
    return {};
}

bool proxyBypassed(std::string_view bypassList, std::string_view host) {
    while (!bypassList.empty()) {
        std::string_view entry = nextEntry(bypassList);
        if (entry.empty()) continue;
        if (equalNoCase(entry, "<local>")) {
            if (host.find('.') == std::string_view::npos && host.find(':') == std::string_view::npos) return true;
        } else if (matchesPattern(host, entry)) {
            return true;
        }
    }
    return false;
}

std::string proxyRequestTarget(const UrlTarget& target, uint16_t port) {
    std::string authority = port == 80 ? bracketed(target.host) : tunnelAuthority(target, port);
    return "http://" + authority + target.path;
}

std::string tunnelAuthority(const UrlTarget& target, uint16_t port) {
    return bracketed(target.host) + ":" + std::to_string(port);
}

int replyStatus(std::string_view line) {
    if (!startsWithNoCase(line, "HTTP/")) return -1;
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos || line.size() < blank + 4) return -1;
    std::string_view code = line.substr(blank + 1, 3);
    if (code.find_first_not_of("0123456789") != std::string_view::npos) return -1;
    if (line.size() > blank + 4 && line[blank + 4] != ' ') return -1;
    return static_cast<int>(readInt(code));
}

bool offersBasicProxyLogin(std::string_view line) {
    if (!startsWithNoCase(line, "Proxy-Authenticate:")) return false;
    std::string_view value = trimmed(line.substr(19));
    return startsWithNoCase(value, "basic") && (value.size() == 5 || value[5] == ' ');
}
