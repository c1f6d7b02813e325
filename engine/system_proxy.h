// The proxy that the user set in the system's Internet Options for the current user, read afresh
// for every request, so that a change there counts from the next try without a restart.
#pragma once
#include "common/url_rules.h"
#include <memory>
#include <string>

struct SystemProxy {
    std::string server;          // the proxy's "host:port" for the URL; empty: connect directly
    // An automatic configuration script is set but could not be evaluated here (its error code,
    // 0 for none): the fixed proxy settings answered in its place. A discovery that finds no
    // script is no such failure: most networks have none.
    unsigned long scriptError = 0;
};

// What the system's settings say for `url` (`target` is its reading): the automatic configuration
// (a script's address, or its discovery) where the platform can evaluate it, else the fixed proxy
// of ProxyEnable, ProxyServer and its bypass list ProxyOverride.
SystemProxy systemProxyFor(const std::string& url, const UrlTarget& target);

// systemProxyFor on a thread of its own: fetching a configuration script or discovering one can
// take many seconds, and the transfer that asks must keep watching for a stop or delete meanwhile.
class SystemProxyQuestion {
public:
    // Starts asking; without a thread the question is answered here and now.
    void start(const std::string& url, const UrlTarget& target);
    bool answered() const;
    const SystemProxy& answer() const;  // once answered
    // A question still open is left to finish alone; its thread frees what the two shared.

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};
