// The proxy rules: a proxy's address and the system's proxy values as a user or the registry holds
// them, the bypass list matched against a host, and a proxy's reply lines.
//
// Input: three pieces separated by NUL: a proxy text (an address, or a system proxy value), a
// host or bypass list, and a reply line.
#include "common/proxy_rules.h"
#include "fuzz_input.h"
#include <string>

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (size_t i = 0; i < start.size(); ++i)
        if (lower(text[i]) != lower(start[i])) return false;
    return true;
}

// An address read is one a socket can use, and written back as a CONNECT names it, it reads the same.
void checkAddress(std::string_view text) {
    ProxyAddress address = proxyAddress(text);
    if (!address.ok) return;
    FUZZ_CHECK(address.port != 0 && !address.host.empty());
    for (char c : address.host) FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && c != 0x7F && c != '/' && c != '@');
    FUZZ_CHECK(address.host.find(':') == std::string::npos || isIpv6Literal(address.host));
    UrlTarget target{};
    target.host = address.host;
    ProxyAddress again = proxyAddress(tunnelAuthority(target, address.port));
    FUZZ_CHECK(again.ok && again.host == address.host && again.port == address.port);
}

// The proxy for a scheme is one entry of the value, without its separators.
void checkServer(std::string_view server) {
    for (UrlScheme scheme : {UrlScheme::Http, UrlScheme::Https, UrlScheme::Ftp}) {
        std::string chosen = proxyServerFor(server, scheme);
        FUZZ_CHECK(chosen.find_first_of("; \t") == std::string::npos);
        FUZZ_CHECK(server.find(chosen) != std::string_view::npos);
    }
}

// A bypass list naming the host itself, or "*", bypasses it; an empty list bypasses nothing.
void checkBypass(std::string_view host) {
    FUZZ_CHECK(!proxyBypassed("", host));
    FUZZ_CHECK(proxyBypassed("*", host) == !host.empty() || host.empty());
    if (!host.empty() && host.find_first_of("; \t*") == std::string_view::npos && host != "<local>")
        FUZZ_CHECK(proxyBypassed(std::string("other;") + std::string(host), host));
}

void checkReply(std::string_view line) {
    int status = replyStatus(line);
    FUZZ_CHECK(status >= -1 && status <= 999);
    if (status >= 0) FUZZ_CHECK(startsNoCase(line, "HTTP/"));
    if (offersBasicProxyLogin(line)) FUZZ_CHECK(startsNoCase(line, "Proxy-Authenticate:"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    ExactBytes proxy(input.piece());
    ExactBytes host(input.piece());
    ExactBytes line(input.piece());
    checkAddress(proxy.view());
    checkServer(proxy.view());
    checkBypass(host.view());
    proxyBypassed(proxy.view(), host.view());
    checkReply(line.view());
    return 0;
}
