// How a request finds its proxy: the proxy settings' strings read, the bypass list matched, and the
// request forms a proxy needs. Pure and platform-free; engine/system_proxy.cpp reads the system's
// settings and hands their strings here.
#pragma once
#include "common/url_rules.h"
#include <cstdint>
#include <string>
#include <string_view>

// The values of HTTP.useProxy: the list's choice. A settings file without the key has none.
enum ProxyMode : uint32_t {
    PROXY_NONE = 0,    // connect to every server directly
    PROXY_SYSTEM = 1,  // what the user set in the system's Internet Options, read afresh at each try
    PROXY_LIST = 2,    // the list's own proxy, HTTP.proxy
};

struct ProxyAddress {
    bool ok = false;
    std::string host;   // an IPv6 literal without its brackets, as UrlTarget holds a host
    uint16_t port = 0;
};

// "host:port", "[v6]:port" or "host" (port 80), as users and the system write a proxy; an
// "http://" before it and a "/" after it are allowed, as some setups write them.
ProxyAddress proxyAddress(std::string_view text);

// The proxy that a system proxy value names for `scheme`: a value without "scheme=" entries
// ("host:port", or WinHTTP's list "a:1; b:2") gives its first entry for every scheme; a per-scheme
// value ("http=a:1;https=b:2") gives the entry of the scheme, empty (direct) without one.
std::string proxyServerFor(std::string_view server, UrlScheme scheme);

// True when the system's bypass list (';'-separated, '*' for any run of characters, "<local>" for
// a name without a dot) names `host`, in any case: it is reached directly.
bool proxyBypassed(std::string_view bypassList, std::string_view host);

// What a plain-http request through a proxy names: "http://host[:port]/path", the port whenever
// it is not 80, since the proxy, not we, connects to it.
std::string proxyRequestTarget(const UrlTarget& target, uint16_t port);

// "host:port" of a CONNECT request, an IPv6 literal in its brackets.
std::string tunnelAuthority(const UrlTarget& target, uint16_t port);

// The status code of a reply's status line ("HTTP/1.1 407 ..."), -1 when it is none.
int replyStatus(std::string_view line);

// True when a reply header line is a Proxy-Authenticate challenge of the Basic scheme.
bool offersBasicProxyLogin(std::string_view line);
