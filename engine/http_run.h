// The pieces of an HTTP run that the item's own connection and its range connections share: the
// run's state, the connection (with TLS for https), the request lines and the response head.
#pragma once
#include "common/url_rules.h"
#include "engine/connection.h"
#include "engine/http_header.h"
#include "engine/proxy_tunnel.h"
#include <string>

// How one attempt ended.
enum class Attempt {
    Continue,  // go on with the next phase
    Ended,     // the run has its outcome
    Retry,     // take the retry step, or fail with `stage` when no tries remain
    Again,     // ask again at once, with no added try: a redirect, a file that changed on the server,
               // or ranges given up for one connection
};

struct HttpRun {
    Transfer t;
    std::string url;          // the URL of this request: the item's, or where a redirect sent us
    UrlTarget itemOrigin{};   // the item's own URL: its credentials and cookie go nowhere else
    int redirects = 0;        // followed in the current try
    ProxyRoute route;         // of the current request
    ProxyLogin login;         // a proxy that asked for its login gets it from then on
    FailStage retryStage = STAGE_DATA;
    bool singleConnection = false;  // ranges were given up: the rest comes over one connection
    HttpRun(DownloadItem& item, DownloadList& list) : t(item, list) {}
};

Attempt retry(HttpRun& run, FailStage stage);

// Connects to the host of `parts`, or to the proxy the list chooses for it (with a tunnel for
// https), and for https sets up TLS.
Attempt openConnection(HttpRun& run, const UrlTarget& parts);

// Sends the request lines in their fixed order: from byte `from` (none for 0) up to the end, or
// up to but not including `to` when it is not 0.
Attempt sendRequest(HttpRun& run, const UrlTarget& parts, uint64_t from, uint64_t to = 0);

// Reads the header block into `scan`.
Attempt readHeader(HttpRun& run, HeaderScan& scan);
