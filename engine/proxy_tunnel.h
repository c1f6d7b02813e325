// The steps a request takes when it goes through a proxy: choosing the proxy for its URL (the
// list's own, or the system's), the CONNECT exchange that opens a tunnel for https, and the answer
// to a proxy's demand for a login (407). Plain http through a proxy differs from a direct request
// only in its request line and login line (http_transfer.cpp). FTP items always connect directly.
#pragma once
#include "common/url_rules.h"
#include "engine/connection.h"
#include <string>

// Where one request connects: to a proxy, or straight to the URL's own host.
struct ProxyRoute {
    bool viaProxy = false;
    bool tunnel = false;  // through the proxy to an https server: the proxy sees none of the request
    std::string host;     // the proxy's host, or the URL's
    uint16_t port = 0;
};

// The proxy login of one run: a proxy that asks with a Basic challenge gets the list's proxy
// credentials once; asked again, or without credentials to give, the run fails at STAGE_PROXY.
struct ProxyLogin {
    bool answering = false;  // every later request to a proxy carries Proxy-Authorization
};

// Decides the route of a request for `url` from the list's proxy choice, reading the system's
// settings afresh where the list follows them, and logs a proxy that is used. False when the run
// ended: the setting names no usable proxy (STAGE_PROXY), or a stop or delete came while the
// system's settings were asked.
bool chooseRoute(Transfer& t, const std::string& url, const UrlTarget& target, ProxyRoute& route);

enum class ProxyStep {
    Open,         // the tunnel is open (CONNECT answered 2xx)
    Again,        // the proxy asked for a login that the next request gives: ask again at once
    Aborted,      // a stop or delete was seen
    TimedOut,     // the proxy stayed silent for the time-out
    Closed,       // the connection ended: worth another try
    Overflow,     // a reply line longer than the buffer
    Refused,      // the proxy refused: STAGE_PROXY at once
    Unavailable,  // the proxy could not reach the server (5xx): STAGE_PROXY after the tries
};

// Asks the connected proxy for a tunnel to the URL's host and port and reads its reply, logging
// both (the login masked).
ProxyStep openTunnel(Transfer& t, const UrlTarget& target, ProxyLogin& login);

// The proxy demanded a login (407) in reply to a plain request whose status line was just read:
// reads the rest of its header and decides whether the next request answers it.
ProxyStep answerProxyChallenge(Transfer& t, ProxyLogin& login);

// The Basic credentials a request to a proxy carries; empty while none were asked for.
std::string proxyCredentials(const Transfer& t, const ProxyLogin& login);
