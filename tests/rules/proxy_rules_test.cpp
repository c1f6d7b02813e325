#include "common/proxy_rules.h"
#include <gtest/gtest.h>

namespace {

// One row per text the proxy settings or a proxy may give us, and what the rules make of it.
TEST(ProxyRules, AddressesSchemeEntriesBypassListsAndReplies) {
    enum Rule { Address, ForHttp, ForHttps, Bypass, Status, Basic };
    struct Case {
        Rule rule;
        const char* input;
        const char* other;     // Bypass: the host
        std::string expected;  // Address: "host port" or "bad"; Bypass/Basic: "yes"/"no"; Status: the code
    };
    const Case cases[] = {
        {Address, "proxy.example:3128", "", "proxy.example 3128"},
        {Address, " http://10.0.0.1:8080/ ", "", "10.0.0.1 8080"},
        {Address, "proxy", "", "proxy 80"},
        {Address, "[::1]:3128", "", "::1 3128"},
        {Address, "[::1]", "", "::1 80"},
        {Address, "[proxy]:3128", "", "bad"},
        {Address, "proxy:", "", "bad"},
        {Address, "proxy:0", "", "bad"},
        {Address, "proxy:65536", "", "bad"},
        {Address, "proxy:31a8", "", "bad"},
        {Address, ":3128", "", "bad"},
        {Address, "", "", "bad"},
        {Address, "user@proxy:3128", "", "bad"},
        {Address, "pro xy:3128", "", "bad"},
        {ForHttp, "proxy:3128", "", "proxy:3128"},
        {ForHttps, "proxy:3128", "", "proxy:3128"},
        {ForHttps, "a:1; b:2", "", "a:1"},
        {ForHttp, "http=h:1;https=s:2;ftp=f:3", "", "h:1"},
        {ForHttps, "HTTP=h:1; HTTPS=s:2", "", "s:2"},
        {ForHttps, "http=h:1;ftp=f:3", "", ""},
        {ForHttp, "socks=s:1080", "", ""},
        {ForHttp, "", "", ""},
        {Bypass, "127.0.0.1", "127.0.0.1", "yes"},
        {Bypass, "*.example.com;<local>", "files.EXAMPLE.com", "yes"},
        {Bypass, "*.example.com", "example.com", "no"},
        {Bypass, "192.168.*", "192.168.1.20", "yes"},
        {Bypass, "192.168.*", "10.192.168.1", "no"},
        {Bypass, "<local>", "intranet", "yes"},
        {Bypass, "<local>", "intranet.corp", "no"},
        {Bypass, "<local>", "::1", "no"},
        {Bypass, "a*b*c", "axxbyyc", "yes"},
        {Bypass, "a*b*c", "axxbyy", "no"},
        {Bypass, " other ; ; host ", "host", "yes"},
        {Bypass, "", "host", "no"},
        {Status, "HTTP/1.1 200 Connection established", "", "200"},
        {Status, "HTTP/1.0 407 Proxy Authentication Required", "", "407"},
        {Status, "HTTP/1.1 403", "", "403"},
        {Status, "HTTP/1.1 2000 x", "", "-1"},
        {Status, "ICY 200 OK", "", "-1"},
        {Status, "HTTP/1.1 4x7 x", "", "-1"},
        {Basic, "Proxy-Authenticate: Basic realm=\"q\"", "", "yes"},
        {Basic, "proxy-authenticate:   BASIC", "", "yes"},
        {Basic, "Proxy-Authenticate: Negotiate", "", "no"},
        {Basic, "Proxy-Authenticate: Basically", "", "no"},
        {Basic, "WWW-Authenticate: Basic realm=\"q\"", "", "no"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::string got;
        switch (c.rule) {
        case Address: {
            ProxyAddress a = proxyAddress(c.input);
            got = a.ok ? a.host + " " + std::to_string(a.port) : "bad";
            break;
        }
        case ForHttp: got = proxyServerFor(c.input, UrlScheme::Http); break;
        case ForHttps: got = proxyServerFor(c.input, UrlScheme::Https); break;
        case Bypass: got = proxyBypassed(c.input, c.other) ? "yes" : "no"; break;
        case Status: got = std::to_string(replyStatus(c.input)); break;
        case Basic: got = offersBasicProxyLogin(c.input) ? "yes" : "no"; break;
        }
        EXPECT_EQ(got, c.expected);
    }
    // What goes to the proxy names the origin's port whenever the proxy cannot guess it.
    UrlTarget v6 = urlTarget("http://[::1]:8080/a?b");
    EXPECT_EQ(proxyRequestTarget(v6, 8080), "http://[::1]:8080/a?b");
    EXPECT_EQ(proxyRequestTarget(urlTarget("http://host/a"), 80), "http://host/a");
    EXPECT_EQ(proxyRequestTarget(urlTarget("http://host/a"), 81), "http://host:81/a");
    EXPECT_EQ(tunnelAuthority(urlTarget("https://host/a"), 443), "host:443");
    EXPECT_EQ(tunnelAuthority(v6, 8443), "[::1]:8443");
}

}  // namespace
