#include "common/proxy_rules.h"
#include "common/text.h"
#include "lists/speed_limit.h"
#include "engine/http_transfer.h"
#include "lists/speed_limit.h"
#include "engine/transfer_events.h"
#include "tests/engine/scheduler_stand_in.h"
#include <gtest/gtest.h>
#include <thread>
#include <winsock2.h>

namespace {

struct HttpTransfer : ::testing::Test {
    SchedulerStandIn scheduler;

    void SetUp() override { ASSERT_NE(testServers().http, 0) << "QUOVAR_SERVERS names no running servers"; }

    // An item for the scripted server: /<scenario>/<token>/<size>/<name>.
    DownloadItem& scripted(const std::string& scenario, const std::string& token, uint32_t size,
                           const char* name = "file.bin") {
        scheduler.list().HTTP.port = testServers().http;
        return scheduler.createItem("http://127.0.0.1/" + scenario + "/" + token + "/" + std::to_string(size) + "/" +
                                    name);
    }
    TransferRecord run(DownloadItem& item,
                       const std::function<void(DownloadItem&, const TransferRecord&)>& watch = {}) {
        return scheduler.run(item, httpTransfer, watch);
    }
};

TEST_F(HttpTransfer, Nginx_FreshDownloadIsByteIdentical) {
    scheduler.list().HTTP.port = testServers().nginx;
    DownloadItem& item = scheduler.createItem("http://localhost/big.bin");
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    std::string source = readFile(testServers().root + "\\big.bin");
    ASSERT_GT(source.size(), 3000000u);
    EXPECT_TRUE(readFile(item.savePath) == source);
    EXPECT_EQ(item.totalSize, source.size());
    EXPECT_EQ(item.fetchedSize, source.size());
    EXPECT_EQ(item.tryCount, 1);
    EXPECT_TRUE(r.logged("info>接続 (localhost[127,0,0,1:" + std::to_string(testServers().nginx) + "])"));
    EXPECT_TRUE(r.logged("send>GET /big.bin HTTP/1.1"));
    EXPECT_TRUE(r.logged("recv>HTTP/1.1 200 OK"));
    EXPECT_TRUE(r.logged("info>取得中"));
    EXPECT_EQ(r.countLines("send>Range"), 0);
    EXPECT_GT(r.progressPosts, 0);
}

TEST_F(HttpTransfer, Nginx_CompressingServerStillGivesTheFileItself) {
    scheduler.list().HTTP.port = testServers().nginx;
    DownloadItem& item = scheduler.createItem("http://localhost/page.html");
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    std::string source = readFile(testServers().root + "\\page.html");
    ASSERT_GT(source.size(), 100000u);
    EXPECT_TRUE(readFile(item.savePath) == source);
    EXPECT_EQ(r.countLines("recv>Content-Encoding"), 0);
}

TEST_F(HttpTransfer, Nginx_ResumesFromAPartialFileWithRange) {
    scheduler.list().HTTP.port = testServers().nginx;
    std::string source = readFile(testServers().root + "\\big.bin");
    CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
    writeFile(scheduler.temp.path() + "download\\big.bin", source.substr(0, 1000000));
    DownloadItem& item = scheduler.createItem("http://127.0.0.1/big.bin");
    EXPECT_EQ(item.fetchedSize, 1000000u);
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(r.logged("send>Range: bytes=1000000-"));
    EXPECT_TRUE(r.logged("recv>HTTP/1.1 206 Partial Content"));
    EXPECT_TRUE(r.logged("info>接続 ([127,0,0,1:" + std::to_string(testServers().nginx) + "])"));
    EXPECT_EQ(item.startSize, 1000000u);
    EXPECT_TRUE(readFile(item.savePath) == source);
}

TEST_F(HttpTransfer, PortOfTheUrlWinsAndInvalidPortsFailBeforeAnyConnection) {
    scheduler.list().HTTP.port = testServers().http;  // the scripted server: not where these URLs go
    std::string port = std::to_string(testServers().nginx);
    DownloadItem& item = scheduler.createItem("http://localhost:" + port + "/big.bin");
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(r.logged("info>接続 (localhost[127,0,0,1:" + port + "])"));
    EXPECT_TRUE(r.logged("send>Host: localhost:" + port));
    EXPECT_TRUE(readFile(item.savePath) == readFile(testServers().root + "\\big.bin"));

    for (const char* url : {"http://localhost:0/x", "http://localhost:65536/x", "http://localhost:8o/x",
                            "https://localhost:/x"}) {
        DownloadItem& bad = scheduler.createItem(url);
        r = run(bad);
        ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_FAILED}) << url;
        EXPECT_EQ(bad.failStage, STAGE_BAD_URL) << url;
        EXPECT_EQ(r.countLines("info>接続"), 0) << url;
        EXPECT_EQ(bad.tryCount, 1) << url;
    }
}

TEST_F(HttpTransfer, Ipv6ByAddressByNameAndOnToANamesNextAddress) {
    if (!testServers().ipv6) GTEST_SKIP() << "no IPv6 loopback on this machine";
    scheduler.list().speedLimit = kPaceFree;
    std::string nginx = std::to_string(testServers().nginx);
    for (const char* host : {"[::1]", "v6.quovar.test"}) {
        DownloadItem& item = scheduler.createItem(std::string("http://") + host + ":" + nginx + "/big.bin");
        TransferRecord r = run(item);
        ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED}) << host;
        EXPECT_TRUE(readFile(item.savePath) == readFile(testServers().root + "\\big.bin")) << host;
        std::string named = host[0] == '[' ? "" : host;
        EXPECT_TRUE(r.logged("info>接続 (" + named + "[::1]:" + nginx + ")")) << host;
        EXPECT_TRUE(r.logged(std::string("send>Host: ") + host + ":" + nginx)) << host;
    }
    // The scripted server listens on 127.0.0.1 alone: the name's first address, ::1, refuses.
    std::string port = std::to_string(testServers().http);
    std::string token = uniqueToken("dual");
    DownloadItem& item = scheduler.createItem("http://dual.quovar.test:" + port + "/file/" + token + "/100/d.bin");
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(r.logged("info>[::1]:" + port + " に接続できないため、次のアドレスを試します"));
    EXPECT_TRUE(r.logged("info>接続 (dual.quovar.test[127,0,0,1:" + port + "])"));
    EXPECT_EQ(item.tryCount, 1);
}

TEST_F(HttpTransfer, RequestLinesInTheirFixedOrder) {
    DownloadList& list = scheduler.list();
    list.HTTP.useNinsyou = 1;
    copyText(list.HTTP.ninsyouUSER, "user");
    copyText(list.HTTP.ninsyouPASS, "pass");
    list.HTTP.useCookie = 1;
    copyText(list.HTTP.cookie, "a=1; b=2");
    list.HTTP.useReferer = 2062;
    std::string token = uniqueToken("order");
    DownloadItem& item = scripted("file", token, 100, "a.bin");
    CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
    writeFile(item.savePath, contentBytes(0, 10));
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    std::vector<std::string> requests = requestsFor(token);
    ASSERT_EQ(requests.size(), 1u);
    std::string path = "/file/" + token + "/100/";
    EXPECT_EQ(requests[0], "GET " + path + "a.bin HTTP/1.1\r\n"
                           "Accept: */*\r\n"
                           "Accept-Encoding: identity\r\n"
                           "Accept-Language: en, ja\r\n"
                           "Authorization: Basic dXNlcjpwYXNz\r\n"
                           "Connection: close\r\n"
                           "Host: 127.0.0.1\r\n"
                           "Range: bytes=10-\r\n"
                           "Referer: http://127.0.0.1" + path + "index.html\r\n"
                           "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\r\n"
                           "Cookie: a=1; b=2\r\n");
    EXPECT_TRUE(readFile(item.savePath) == contentBytes(0, 100));
}

TEST_F(HttpTransfer, CloseBeforeTheTotalRetriesWithTheNewRange) {
    std::string token = uniqueToken("early");
    DownloadItem& item = scripted("close-early", token, 50000);
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    std::vector<std::string> requests = requestsFor(token);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Range:"), std::string::npos);
    EXPECT_NE(requests[1].find("Range: bytes=25000-\r\n"), std::string::npos);
    EXPECT_EQ(item.tryCount, 2);
    EXPECT_TRUE(readFile(item.savePath) == contentBytes(0, 50000));
}

TEST_F(HttpTransfer, UnacceptedStatusRetriesUntilTriesRunOut) {
    for (int code : {404, 416, 304}) {
        scheduler.list().maxTryNum = 3;
        std::string token = uniqueToken("status");
        DownloadItem& item = scripted("status", token, code);
        TransferRecord r = run(item);
        ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_FAILED}) << code;
        EXPECT_EQ(item.failStage, STAGE_RECOVERY_HEADER) << code;
        EXPECT_EQ(item.tryCount, 3) << code;
        EXPECT_EQ(requestsFor(token).size(), 3u) << code;
    }
}

TEST_F(HttpTransfer, RedirectToHttpFollowsWithTheItemsReferer) {
    std::string token = uniqueToken("redir");
    DownloadItem& item = scripted("redirect-http", token, 3000);
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_TRUE(r.logged("info>リダイレクト"));
    EXPECT_EQ(item.tryCount, 1);
    std::vector<std::string> followed = requestsFor(token + "-after");
    ASSERT_EQ(followed.size(), 1u);
    EXPECT_NE(followed[0].find("Host: localhost\r\n"), std::string::npos);
    EXPECT_NE(followed[0].find("Referer: " + item.url + "\r\n"), std::string::npos);
    EXPECT_EQ(r.countLines("info>接続"), 2);
    EXPECT_TRUE(readFile(item.savePath) == contentBytes(0, 3000));
}

TEST_F(HttpTransfer, RedirectToAnotherSchemeGoesBackToTheScheduler) {
    DownloadItem& ftp = scripted("redirect-ftp", uniqueToken("ftp"), 0);
    TransferRecord r = run(ftp);
    EXPECT_EQ(r.outcomes, std::vector<uint32_t>{CMD_REDIRECT_FTP});
    EXPECT_EQ(ftp.redirectUrl, "ftp://127.0.0.1/pub/x.bin");
    EXPECT_EQ(ftp.tryCount, 1);

    DownloadItem& relative = scripted("redirect-relative", uniqueToken("rel"), 0);
    r = run(relative);
    EXPECT_EQ(r.outcomes, std::vector<uint32_t>{CMD_REDIRECT_FTP});
    EXPECT_EQ(relative.redirectUrl, "/file/x/10/x.bin");
}

TEST_F(HttpTransfer, NoSizeHeadersReadsUntilTheServerCloses) {
    DownloadItem& item = scripted("no-size", uniqueToken("nosize"), 20000);
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    EXPECT_EQ(item.totalSize, 0u);
    EXPECT_TRUE(readFile(item.savePath) == contentBytes(0, 20000));
}

TEST_F(HttpTransfer, HeaderLineLongerThanTheBufferFails) {
    scheduler.list().buffSize = 64;
    // "X-Long: " plus 56 characters is exactly 64: accepted.
    DownloadItem& fits = scripted("long-header", uniqueToken("fits"), 56);
    EXPECT_EQ(run(fits).outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
    DownloadItem& over = scripted("long-header", uniqueToken("over"), 57);
    EXPECT_EQ(run(over).outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(over.failStage, STAGE_BUFFER_OVERFLOW);
    scheduler.list().buffSize = 0;
    DownloadItem& none = scripted("file", uniqueToken("zero"), 10);
    EXPECT_EQ(run(none).outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(none.failStage, STAGE_BUFFER_OVERFLOW);
}

TEST_F(HttpTransfer, SilentServerIsGivenUpAfterTheTimeOut) {
    scheduler.list().timeOutTime = 1;
    scheduler.list().maxTryNum = 1;
    DownloadItem& item = scripted("silent", uniqueToken("silent"), 0);
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(item.failStage, STAGE_RECOVERY_HEADER);
    EXPECT_TRUE(r.logged("info>タイムアウト"));
    EXPECT_GE(r.milliseconds, 1000u);
    EXPECT_LT(r.milliseconds, 4000u);
}

TEST_F(HttpTransfer, RefusedConnectionTriesThreeTimesWithTwoWaits) {
    scheduler.list().maxTryNum = 3;
    scheduler.list().retryWaitTime = 1;
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any);
    int size = sizeof any;
    getsockname(probe, reinterpret_cast<sockaddr*>(&any), &size);
    closesocket(probe);  // nobody listens on this port now
    scheduler.list().HTTP.port = ntohs(any.sin_port);
    DownloadItem& item = scheduler.createItem("http://127.0.0.1/x");
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(item.failStage, STAGE_CONNECT);
    EXPECT_EQ(item.tryCount, 3);
    EXPECT_GE(r.milliseconds, 2000u);
    EXPECT_LT(r.milliseconds, 8000u);
}

TEST_F(HttpTransfer, UnresolvableHostFailsWithoutRetry) {
    scheduler.list().maxTryNum = 3;
    DownloadItem& item = scheduler.createItem("http://no-such-host.invalid/x");
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(item.failStage, STAGE_HOST_LOOKUP);
    EXPECT_EQ(item.tryCount, 1);
    DownloadItem& port = scheduler.createItem("http://no-such-host.invalid:8080/x");
    EXPECT_EQ(run(port).outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(port.failStage, STAGE_HOST_LOOKUP);
    DownloadItem& bad = scheduler.createItem("http://hostonly");
    EXPECT_EQ(run(bad).outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(bad.failStage, STAGE_BAD_URL);
}

// Sets `state` once the body has begun, and remembers when.
struct AbortWhenFetching {
    uint8_t state;
    DWORD at = 0;
    void operator()(DownloadItem& item, const TransferRecord& r) {
        if (!at && r.progressPosts >= 3) {
            sharedWrite(item.state, state);
            at = GetTickCount();
        }
    }
};

TEST_F(HttpTransfer, StopDuringTheBodyIsSeenWithinAPollTick) {
    DownloadItem& item = scripted("slow", uniqueToken("stop"), 1000000);
    AbortWhenFetching stop{StopRequested};
    DWORD ended = 0;
    TransferRecord r = run(item, [&](DownloadItem& i, const TransferRecord& rec) {
        stop(i, rec);
        if (!ended && !rec.outcomes.empty()) ended = GetTickCount();
    });
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_STOPPED});
    ASSERT_NE(stop.at, 0u);
    EXPECT_LT(ended - stop.at, 600u);
    std::string partial = readFile(item.savePath);
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), 1000000u);
    EXPECT_TRUE(partial == contentBytes(0, static_cast<uint32_t>(partial.size())));
}

TEST_F(HttpTransfer, DeleteDuringTheBodyEndsWithDeleteAsTheLastMessage) {
    DownloadItem& item = scripted("slow", uniqueToken("delete"), 1000000);
    AbortWhenFetching remove{DeleteRequested};
    TransferRecord r = run(item, std::ref(remove));
    EXPECT_EQ(r.outcomes, std::vector<uint32_t>{CMD_DELETE});
}

TEST_F(HttpTransfer, IgnoredRangeLeavesExactlyTheNewBody) {
    CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
    for (size_t before : {5000u, 1000u}) {
        DownloadItem& item = scripted("ignore-range", uniqueToken("ignore"), 3000, before == 5000 ? "a" : "b");
        writeFile(item.savePath, std::string(before, 'Z'));
        item.fetchedSize = static_cast<uint32_t>(before);
        TransferRecord r = run(item);
        ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED}) << before;
        EXPECT_TRUE(readFile(item.savePath) == contentBytes(0, 3000)) << before;
    }
}

TEST_F(HttpTransfer, RangeStartingPastTheFileNeverLeavesAHole) {
    scheduler.list().maxTryNum = 2;
    CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
    DownloadItem& item = scripted("range-beyond", uniqueToken("beyond"), 5000);
    writeFile(item.savePath, contentBytes(0, 1000));
    TransferRecord r = run(item);
    ASSERT_EQ(r.outcomes, std::vector<uint32_t>{CMD_FAILED});
    EXPECT_EQ(item.failStage, STAGE_RECOVERY_HEADER);
    EXPECT_EQ(item.tryCount, 2);
    EXPECT_TRUE(readFile(item.savePath) == contentBytes(0, 1000));
}

// Squid's access log ends with the requests it has answered so far.
std::string proxyLog() { return readFile(testServers().state + "\\squid\\access.log"); }

// Sets the system's proxy settings for the current user as Internet Options write them, and
// removes them again: the test prefix has none otherwise.
struct SystemProxySettings {
    HKEY key = nullptr;
    HKEY connections = nullptr;
    SystemProxySettings() {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCreateKeyExA(key, "Connections", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &connections, nullptr);
    }
    ~SystemProxySettings() {
        clear();
        RegCloseKey(connections);
        RegCloseKey(key);
    }
    // The automatic configuration script's address, in the record the options dialog keeps: a
    // header (version, counter, flags 1 direct + 4 script), no proxy, no bypass list, the address.
    void setScript(const std::string& url) {
        std::string record(12, '\0');
        record[0] = 0x46;
        record[8] = 1 | 4;
        for (const std::string& part : {std::string(), std::string(), url}) {
            uint32_t size = static_cast<uint32_t>(part.size());
            record.append(reinterpret_cast<const char*>(&size), 4);
            record += part;
        }
        record.append(32, '\0');
        RegSetValueExA(connections, "DefaultConnectionSettings", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(record.data()), static_cast<DWORD>(record.size()));
    }
    void set(const std::string& server, const std::string& bypass) {
        DWORD on = 1;
        RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
        RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                       static_cast<DWORD>(server.size() + 1));
        RegSetValueExA(key, "ProxyOverride", 0, REG_SZ, reinterpret_cast<const BYTE*>(bypass.c_str()),
                       static_cast<DWORD>(bypass.size() + 1));
    }
    void clear() {
        for (const char* name : {"ProxyEnable", "ProxyServer", "ProxyOverride"}) RegDeleteValueA(key, name);
        RegDeleteValueA(connections, "DefaultConnectionSettings");
    }
};

// The system's configuration script lies on a server that never answers: a stop still ends the
// item at once, not when the system gives up on the script.
TEST(HttpTransferThroughProxy, AStopEndsTheWaitForTheSystemsScript) {
    SchedulerStandIn scheduler;
    SystemProxySettings system;
    system.setScript("http://127.0.0.1:" + std::to_string(testServers().http) + "/silent/" + uniqueToken("pac") +
                     "/0/p.pac");
    scheduler.list().HTTP.useProxy = PROXY_SYSTEM;
    DownloadItem& item = scheduler.createItem("http://127.0.0.1:" + std::to_string(testServers().nginx) + "/big.bin");
    std::thread stop([&item] {  // pressed while the script is fetched
        Sleep(300);
        sharedWrite(item.state, static_cast<decltype(item.state)>(StopRequested));
    });
    TransferRecord r = scheduler.run(item, httpTransfer);
    stop.join();
    EXPECT_EQ(r.outcomes, std::vector<uint32_t>{CMD_STOPPED});
    EXPECT_LT(r.milliseconds, 2000u);
}

// One run per row through squid (one port open to all, one that demands a login): the list's
// proxy or the system's, plain http and https tunnels, logins given, missing or refused, and
// hosts that the system's bypass list sends directly.
TEST(HttpTransferThroughProxy, ListOrSystemProxyLoginsRefusalsAndBypass) {
    const TestServers& servers = testServers();
    ASSERT_NE(servers.proxy, 0) << "QUOVAR_SERVERS names no proxy";
    ASSERT_TRUE(trustTestCa());
    std::string big = readFile(servers.root + "\\big.bin");
    ASSERT_GT(big.size(), 3000000u);
    std::string proxy = "127.0.0.1:" + std::to_string(servers.proxy);
    std::string loginProxy = "127.0.0.1:" + std::to_string(servers.loginProxy);
    std::string http = "http://127.0.0.1:" + std::to_string(servers.nginx);
    // The certificate names localhost, as Wine checks only the names of a certificate.
    std::string https = "https://localhost:" + std::to_string(servers.https);
    std::string connect = "send>CONNECT localhost:" + std::to_string(servers.https) + " HTTP/1.1";
    std::string closedPort = "127.0.0.1:1";

    struct Case {
        const char* name;
        uint32_t mode;       // PROXY_LIST: `proxy` is the list's; PROXY_SYSTEM: the system's ProxyServer
        std::string proxy;
        std::string bypass;  // the system's ProxyOverride
        const char* user;    // the list's proxy login
        const char* password;
        std::string url;     // a query naming the row is added, for squid's log
        uint32_t before;     // leading bytes of big.bin on disk
        uint32_t outcome;
        uint8_t stage;
        int proxied;         // "info>プロキシ経由" lines
        int seen;            // squid logged the row's request: 1 yes, 0 no, -1 not asked (a tunnel's URL is hidden)
        std::string logged;
        std::string script = "";  // the system's automatic configuration answers this for every URL
        int32_t connections = 1;  // per item
        int32_t limit = kPaceFree;  // a limit fans the ranges out at once: no first connection's probe
    };
    const Case cases[] = {
        {"http", PROXY_LIST, proxy, "", "", "", http + "/big.bin", 0, CMD_SUCCEEDED, 0, 1, 1,
         "send>GET " + http + "/big.bin?"},
        {"http resumed", PROXY_LIST, proxy, "", "", "", http + "/big.bin", 1000000, CMD_SUCCEEDED, 0, 1, 1,
         "recv>HTTP/1.1 206 Partial Content"},
        {"https tunnel", PROXY_LIST, proxy, "", "", "", https + "/big.bin", 0, CMD_SUCCEEDED, 0, 1, -1, connect},
        {"http login", PROXY_LIST, loginProxy, "", "quovar", "proxy:pw", http + "/big.bin", 0, CMD_SUCCEEDED, 0, 2, 1,
         "send>Proxy-Authorization: Basic ****"},
        {"https login", PROXY_LIST, loginProxy, "", "quovar", "proxy:pw", https + "/big.bin", 1000, CMD_SUCCEEDED, 0, 2,
         -1, "send>Proxy-Authorization: Basic ****"},
        // Each range connection gives the login the proxy asked the item's first connection for.
        {"https login, two ranges", PROXY_LIST, loginProxy, "", "quovar", "proxy:pw", https + "/big.bin", 0,
         CMD_SUCCEEDED, 0, 4, -1, "info>2本の接続で取得 (取得済み 0バイト)", "", 4, 100000},
        {"http without login", PROXY_LIST, loginProxy, "", "", "", http + "/big.bin", 0, CMD_FAILED, STAGE_PROXY, 1, 1,
         "recv>HTTP/1.1 407 Proxy Authentication Required"},
        {"https login refused", PROXY_LIST, loginProxy, "", "quovar", "wrong", https + "/big.bin", 0, CMD_FAILED,
         STAGE_PROXY, 2, -1, "info>プロキシ認証に失敗"},
        {"tunnel refused", PROXY_LIST, proxy, "", "", "", "https://refused.invalid/big.bin", 0, CMD_FAILED, STAGE_PROXY,
         1, -1, "recv>HTTP/1.1 403 Forbidden"},
        {"unusable proxy setting", PROXY_LIST, "127.0.0.1:99999", "", "", "", http + "/big.bin", 0, CMD_FAILED,
         STAGE_PROXY, 0, 0, "info>プロキシの指定が正しくありません (127.0.0.1:99999)"},
        {"system's", PROXY_SYSTEM, "https=" + closedPort + ";http=" + proxy, "", "", "", http + "/big.bin", 0,
         CMD_SUCCEEDED, 0, 1, 1, "info>プロキシ経由 (" + proxy + "、システムの設定)"},
        // The script wins over the fixed settings.
        {"system's script", PROXY_SYSTEM, closedPort, "", "", "", http + "/big.bin", 0, CMD_SUCCEEDED, 0, 1, 1,
         "info>プロキシ経由 (" + proxy + "、システムの設定)", "PROXY " + proxy},
        {"system's bypass list", PROXY_SYSTEM, closedPort, "*.invalid;127.0.0.*", "", "", http + "/big.bin", 0,
         CMD_SUCCEEDED, 0, 0, 0, ""},
        // Through the proxy to nginx, sent to https on localhost, which the bypass list names, and
        // back to plain http there: each request decides afresh.
        {"redirects decide afresh", PROXY_SYSTEM, proxy, "<local>;localhost", "", "", http + "/to-https/big.bin", 0,
         CMD_SUCCEEDED, 0, 1, 1, "send>Host: localhost:" + std::to_string(servers.https)},
    };
    SystemProxySettings system;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SchedulerStandIn scheduler;
        DownloadList& list = scheduler.list();
        list.maxTryNum = 2;
        list.timeOutTime = 5;
        list.speedLimit = c.limit;
        list.HTTP.useProxy = c.mode;
        list.connectionsPerItem = c.connections;
        copyText(list.itemListFilePath, scheduler.temp.path() + "list.qvr");
        system.clear();
        if (c.mode == PROXY_LIST) {
            copyText(list.HTTP.proxy, c.proxy);
        } else {
            copyText(list.HTTP.proxy, closedPort);  // the list's own is not the one chosen
            system.set(c.proxy, c.bypass);
        }
        std::string token = uniqueToken("proxy");
        if (!c.script.empty()) {
            writeFile(servers.root + "\\" + token + ".pac",
                      "function FindProxyForURL(url, host) { return \"" + c.script + "\"; }\n");
            system.setScript(http + "/" + token + ".pac");
        }
        copyText(list.HTTP.proxyUSER, c.user);
        copyText(list.HTTP.proxyPASS, c.password);
        DownloadItem& item = scheduler.createItem(c.url + "?" + token);
        if (c.before) {
            CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
            writeFile(item.savePath, big.substr(0, c.before));
        }
        TransferRecord r = scheduler.run(item, httpTransfer);
        std::string log;
        for (const std::string& line : r.log) log += line + "\n";
        EXPECT_EQ(r.outcomes, std::vector<uint32_t>{c.outcome}) << "stage " << int(item.failStage) << "\n" << log;
        if (c.outcome == CMD_FAILED) {
            EXPECT_EQ(item.failStage, c.stage) << log;
            EXPECT_EQ(item.tryCount, 1) << "a refusal is not tried again";
        }
        EXPECT_TRUE(readFile(item.savePath) == (c.outcome == CMD_SUCCEEDED ? big : big.substr(0, c.before)));
        EXPECT_EQ(r.countLines("info>プロキシ経由"), c.proxied) << log;
        if (!c.logged.empty()) {
            EXPECT_GE(r.countLines(c.logged), 1) << c.logged << "\n" << log;
        }
        if (c.seen >= 0) {
            EXPECT_EQ(proxyLog().find(token) != std::string::npos, c.seen == 1);
        }
        // The proxy's login goes to the proxy only, and shows in the log masked.
        EXPECT_EQ(log.find("cXVvdmFy"), std::string::npos);
        bool inTunnel = false;
        for (const std::string& line : r.log) {
            if (line == "info>トンネル要求") inTunnel = false;  // another connection's tunnel
            inTunnel = inTunnel || (c.url.rfind("https", 0) == 0 && line.rfind("send>GET", 0) == 0);
            EXPECT_FALSE(inTunnel && line.rfind("send>Proxy-Authorization", 0) == 0) << "sent to the server";
        }
    }
}

}  // namespace
