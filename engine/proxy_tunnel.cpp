#include "engine/proxy_tunnel.h"
#include "common/proxy_rules.h"
#include "common/text.h"
#include "engine/system_proxy.h"

namespace {

// Reads header lines up to the blank one that ends the block, logging them, and notes whether one
// of them offers the Basic login.
// Reads one reply line into the buffer; Open when there is one.
ProxyStep readProxyLine(Transfer& t, size_t& length) {
    switch (readReplyLine(t, length)) {
    case ReadLine::Line: return ProxyStep::Open;
    case ReadLine::Aborted: return ProxyStep::Aborted;
    case ReadLine::TimedOut: return ProxyStep::TimedOut;
    case ReadLine::Closed: return ProxyStep::Closed;
    case ReadLine::Overflow: break;
    }
    return ProxyStep::Overflow;
}

ProxyStep readRestOfHeader(Transfer& t, bool& offersBasic) {
    for (;;) {
        size_t length = 0;
        if (ProxyStep step = readProxyLine(t, length); step != ProxyStep::Open) return step;
        if (length == 0) return ProxyStep::Open;
        if (t.logTraffic) postLogLine(t.item, std::string("recv>") + t.buffer.get());
        if (offersBasicProxyLogin(std::string_view(t.buffer.get(), length))) offersBasic = true;
    }
}

ProxyStep challenged(Transfer& t, ProxyLogin& login, bool offersBasic) {
    if (offersBasic && !login.answering && t.list.HTTP.proxyUSER[0] != '\0') {
        login.answering = true;
        postLogLine(t.item, "info>プロキシ認証");
        return ProxyStep::Again;
    }
    postLogLine(t.item, login.answering ? "info>プロキシ認証に失敗" : "info>プロキシ認証の設定がありません");
    return ProxyStep::Refused;
}

ProxyStep sendTo(Transfer& t, std::string_view line, std::string_view shown = {}) {
    switch (sendLine(t, line, shown)) {
    case NET_OK: return ProxyStep::Open;
    case NET_ABORTED: return ProxyStep::Aborted;
    case NET_TIMEOUT: return ProxyStep::TimedOut;
    default: return ProxyStep::Closed;
    }
}

}  // namespace

bool chooseRoute(Transfer& t, const std::string& url, const UrlTarget& target, ProxyRoute& route) {
    const HttpSettings& http = t.list.HTTP;
    route = {false, false, target.host, connectPort(target, http.port)};
    std::string server;
    const char* whose = "";
    if (http.useProxy == PROXY_LIST) {
        server = textOf(http.proxy);
    } else if (http.useProxy == PROXY_SYSTEM) {
        SystemProxyQuestion question;
        question.start(url, target);
        while (!question.answered()) {
            Sleep(10);
            if (isAbortState(sharedRead(t.item.state))) {
                finishAborted(t);
                return false;
            }
        }
        const SystemProxy& system = question.answer();
        if (system.scriptError != 0)
            postLogLine(t.item, "info>自動構成スクリプトを評価できないため、固定のプロキシ設定に従います (" +
                                    std::to_string(system.scriptError) + ")");
        if (system.server.empty()) return true;
        server = system.server;
        whose = "、システムの設定";
    } else {
        return true;
    }
    ProxyAddress address = proxyAddress(server);
    if (!address.ok) {
        postLogLine(t.item, "info>プロキシの指定が正しくありません (" + server + ")");
        fail(t, STAGE_PROXY);
        return false;
    }
    route = {true, target.scheme == UrlScheme::Https, address.host, address.port};
    postLogLine(t.item, "info>プロキシ経由 (" + server + whose + ")");
    return true;
}

ProxyStep openTunnel(Transfer& t, const UrlTarget& target, ProxyLogin& login) {
    std::string authority = tunnelAuthority(target, connectPort(target, t.list.HTTP.port));
    postLogLine(t.item, "info>トンネル要求");
    ProxyStep step = sendTo(t, "CONNECT " + authority + " HTTP/1.1\r\n");
    if (step == ProxyStep::Open) step = sendTo(t, "Host: " + authority + "\r\n");
    std::string credentials = proxyCredentials(t, login);
    if (step == ProxyStep::Open && !credentials.empty())
        step = sendTo(t, "Proxy-Authorization: Basic " + credentials + "\r\n", "Proxy-Authorization: Basic ****");
    if (step == ProxyStep::Open) step = sendTo(t, "\r\n");
    if (step != ProxyStep::Open) return step;

    size_t length = 0;
    if (step = readProxyLine(t, length); step != ProxyStep::Open) return step;
    if (t.logTraffic) postLogLine(t.item, std::string("recv>") + t.buffer.get());
    int status = replyStatus(std::string_view(t.buffer.get(), length));
    bool offersBasic = false;
    step = readRestOfHeader(t, offersBasic);
    if (step != ProxyStep::Open) return step;
    if (status >= 200 && status < 300) return ProxyStep::Open;
    if (status == 407) return challenged(t, login, offersBasic);
    postLogLine(t.item, "info>プロキシがトンネルを拒否");
    return status >= 500 && status < 600 ? ProxyStep::Unavailable : ProxyStep::Refused;
}

ProxyStep answerProxyChallenge(Transfer& t, ProxyLogin& login) {
    bool offersBasic = false;
    ProxyStep step = readRestOfHeader(t, offersBasic);
    return step == ProxyStep::Open ? challenged(t, login, offersBasic) : step;
}

std::string proxyCredentials(const Transfer& t, const ProxyLogin& login) {
    if (!login.answering) return {};
    return basicCredentials(textOf(t.list.HTTP.proxyUSER), textOf(t.list.HTTP.proxyPASS));
}
