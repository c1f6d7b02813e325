#include "engine/http_transfer.h"
#include "common/text.h"
#include "common/view.h"
#include "engine/chunked_body.h"
#include "engine/http_run.h"
#include "engine/range_transfer.h"
#include "engine/range_plan.h"
#include "engine/server_name.h"
#include "engine/validator.h"
#include "common/proxy_rules.h"
#include "common/url_rules.h"
#include "lists/item_lock.h"
#include <mmsystem.h>
#include <string>

namespace {

// Redirects followed within one try before it fails: a server that sends us round in a circle
// would otherwise keep the thread connecting for ever.
constexpr int kMaxRedirects = 20;

Attempt ended() { return Attempt::Ended; }

// What a step of the exchange with a proxy means for the attempt.
Attempt afterProxy(HttpRun& run, ProxyStep step) {
    switch (step) {
    case ProxyStep::Open: return Attempt::Continue;
    case ProxyStep::Again: return Attempt::Again;
    case ProxyStep::Aborted: finishAborted(run.t); return ended();
    case ProxyStep::TimedOut: postLogLine(run.t.item, "info>タイムアウト"); return retry(run, STAGE_PROXY);
    case ProxyStep::Closed:
    case ProxyStep::Unavailable: return retry(run, STAGE_PROXY);
    case ProxyStep::Overflow: fail(run.t, STAGE_BUFFER_OVERFLOW); return ended();
    case ProxyStep::Refused: break;
    }
    fail(run.t, STAGE_PROXY);
    return ended();
}

// The Basic credentials of a request to `parts`: the URL's own user and password, else (at the
// item's own origin only) those of the item's URL or the list's; empty for none.
std::string credentialsFor(const HttpRun& run, const UrlTarget& parts) {
    if (parts.hasUser) return basicCredentials(parts.user, parts.password);
    if (!sameOrigin(parts, run.itemOrigin, run.t.list.HTTP.port)) return {};
    if (run.itemOrigin.hasUser) return basicCredentials(run.itemOrigin.user, run.itemOrigin.password);
    const HttpSettings& http = run.t.list.HTTP;
    if (http.useNinsyou == 1) return basicCredentials(textOf(http.ninsyouUSER), textOf(http.ninsyouPASS));
    return {};
}

// The first text of the request that would break its lines: one decoded from the URL, or one of
// the list's settings that go into a header as they are.
const char* brokenPart(const HttpRun& run, const UrlTarget& parts) {
    if (const char* part = lineBreakingPart(parts)) return part;
    const HttpSettings& http = run.t.list.HTTP;
    if (http.useCookie == 1 && breaksLine(textOf(http.cookie))) return "Cookieの設定";
    if (http.useReferer == REFERER_FIXED && breaksLine(textOf(http.referer))) return "Refererの設定";
    if (http.useNinsyou == 1 && (breaksLine(textOf(http.ninsyouUSER)) || breaksLine(textOf(http.ninsyouPASS))))
        return "認証の設定";
    return nullptr;
}

}  // namespace

Attempt retry(HttpRun& run, FailStage stage) {
    run.retryStage = stage;
    return Attempt::Retry;
}

Attempt sendRequest(HttpRun& run, const UrlTarget& parts, uint64_t from, uint64_t to) {
    Transfer& t = run.t;
    const HttpSettings& http = t.list.HTTP;
    bool home = sameOrigin(parts, run.itemOrigin, http.port);
    std::string credentials = credentialsFor(run, parts);
    // Through a tunnel the proxy never sees the request: only plain http names it and its login.
    bool toProxy = run.route.viaProxy && !run.route.tunnel;
    std::string proxyLogin = toProxy ? proxyCredentials(t, run.login) : std::string();
    std::string lines[14];
    int n = 0;
    int authorization = -1;
    int proxyAuthorization = -1;
    int cookie = -1;
    std::string target = toProxy ? proxyRequestTarget(parts, connectPort(parts, http.port)) : parts.path;
    lines[n++] = "GET " + target + " HTTP/1.1\r\n";
    lines[n++] = "Accept: */*\r\n";
    // The file must hold the resource itself, so no coding that we would have to undo is accepted.
    lines[n++] = "Accept-Encoding: identity\r\n";
    lines[n++] = "Accept-Language: en, ja\r\n";
    if (!credentials.empty()) {
        authorization = n;
        lines[n++] = "Authorization: Basic " + credentials + "\r\n";
    }
    lines[n++] = "Connection: close\r\n";
    lines[n++] = "Host: " + hostLineValue(parts) + "\r\n";
    if (!proxyLogin.empty()) {
        proxyAuthorization = n;
        lines[n++] = "Proxy-Authorization: Basic " + proxyLogin + "\r\n";
    }
    if (from != 0 || to != 0) {
        // With a validator the server sends the rest only of the version whose first bytes we hold.
        std::string ifRange = ifRangeLine(run.t.validator);
        if (!ifRange.empty()) lines[n++] = ifRange;
        lines[n++] = "Range: bytes=" + std::to_string(from) + "-" + (to != 0 ? std::to_string(to - 1) : "") + "\r\n";
    }
    if (http.useReferer != 2060) lines[n++] = refererLine(http.useReferer, t.item.url, textOf(http.referer));
    lines[n++] = "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\r\n";
    if (http.useCookie == 1 && home) {
        cookie = n;
        lines[n++] = "Cookie: " + std::string(textOf(http.cookie)) + "\r\n";
    }
    lines[n++] = "\r\n";

    postLogLine(t.item, "info>リクエスト");
    for (int i = 0; i < n; ++i) {
        // Base64 is no secret, and a cookie is a login too: the log shows that they went out, not which.
        std::string_view shown = i == authorization        ? "Authorization: Basic ****"
                                 : i == proxyAuthorization ? "Proxy-Authorization: Basic ****"
                                 : i == cookie             ? "Cookie: ****"
                                                           : "";
        switch (sendLine(t, lines[i], shown)) {
        case NET_OK: break;
        case NET_ABORTED: finishAborted(t); return ended();
        case NET_TIMEOUT: postLogLine(t.item, "info>タイムアウト"); return retry(run, STAGE_REQUEST);
        default: fail(t, STAGE_REQUEST); return ended();
        }
    }
    return Attempt::Continue;
}

Attempt readHeader(HttpRun& run, HeaderScan& scan) {
    Transfer& t = run.t;
    if (t.stepPauses) Sleep(10);
    int blankLines = 0;
    postLogLine(t.item, "info>レスポンス");
    for (;;) {
        size_t length = 0;
        switch (readReplyLine(t, length)) {
        case ReadLine::Line: break;
        case ReadLine::Aborted: finishAborted(t); return ended();
        case ReadLine::TimedOut: postLogLine(t.item, "info>タイムアウト"); return retry(run, STAGE_RECOVERY_HEADER);
        case ReadLine::Closed: return retry(run, STAGE_RECOVERY_HEADER);
        case ReadLine::Overflow: fail(t, STAGE_BUFFER_OVERFLOW); return ended();
        }
        if (length > 0) blankLines = 0;
        if (blankLines == 1) break;  // an empty line after a header line ends the block
        ++blankLines;
        if (t.logTraffic) postLogLine(t.item, std::string("recv>") + t.buffer.get());
        if (run.route.viaProxy && !run.route.tunnel && replyStatus(std::string_view(t.buffer.get(), length)) == 407)
            return afterProxy(run, answerProxyChallenge(t, run.login));

        std::string location;
        switch (interpretHeaderLine(t.buffer.get(), length, scan, location)) {
        case HeaderLine::Location:
            if (hasControlCharacter(location)) {
                fail(t, STAGE_BAD_URL);  // its bytes would end up inside our next request lines
                return ended();
            }
            if (location.size() > kMaxUrlLength) {
                // Cut, it would name another resource, or one whose signature no longer holds.
                postLogLine(t.item,
                            "info>リダイレクト先のＵＲＬが長すぎます (" + std::to_string(location.size()) + "文字)");
                fail(t, STAGE_BAD_URL);
                return ended();
            }
            run.url = location;
            // http and https ("h...", in either case) stay with this transfer; ftp and the rest go
            // back to the scheduler.
            if (run.url[0] == 'h' || run.url[0] == 'H') {
                if (++run.redirects > kMaxRedirects) {
                    postLogLine(t.item, "info>リダイレクトが多すぎます");
                    fail(t, STAGE_REDIRECTS);
                    return ended();
                }
                postLogLine(t.item, "info>リダイレクト");
                return Attempt::Again;
            }
            t.item.redirectUrl = run.url;
            finish(t, CMD_REDIRECT_FTP);
            return ended();
        case HeaderLine::StatusRejected: return retry(run, STAGE_RECOVERY_HEADER);
        case HeaderLine::StatusAccepted:
        case HeaderLine::Other: break;
        }
    }
    return Attempt::Continue;
}

Attempt openConnection(HttpRun& run, const UrlTarget& parts) {
    Transfer& t = run.t;
    if (!chooseRoute(t, run.url, parts, run.route)) return ended();
    switch (connectHost(t, run.route.host.c_str(), run.route.port)) {
    case ConnectResult::Connected: break;
    case ConnectResult::Retry: return retry(run, STAGE_CONNECT);
    case ConnectResult::Failed: fail(t, STAGE_CONNECT); return ended();
    case ConnectResult::Ended: return ended();
    }
    if (run.route.tunnel) {
        Attempt a = afterProxy(run, openTunnel(t, parts, run.login));
        if (a != Attempt::Continue) return a;
    }
    if (parts.scheme != UrlScheme::Https) return Attempt::Continue;
    switch (startTls(t, parts.host.c_str())) {
    case TlsStart::Ready: return Attempt::Continue;
    case TlsStart::Aborted: finishAborted(t); return ended();
    case TlsStart::TimedOut: postLogLine(t.item, "info>タイムアウト"); return retry(run, STAGE_TLS_HANDSHAKE);
    case TlsStart::Closed: return retry(run, STAGE_TLS_HANDSHAKE);
    case TlsStart::HandshakeFailed: fail(t, STAGE_TLS_HANDSHAKE); return ended();
    case TlsStart::CertificateRefused: fail(t, STAGE_CERTIFICATE); return ended();
    }
    return ended();
}

namespace {

// Places the file pointer where the body's first byte goes. Whatever the file holds past that point
// is cut off, so the file ends up holding exactly the bytes received, in order.
bool placeWritePosition(Transfer& t, uint64_t position) {
    HANDLE file = static_cast<HANDLE>(t.item.fileHandle);
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) {
        fail(t, STAGE_FILE_SEEK);
        return false;
    }
    if (!SetEndOfFile(file)) {
        fail(t, STAGE_FILE_WRITE);
        return false;
    }
    return true;
}

// The server's file is not the one whose first bytes the save file holds: those bytes go, and the
// file is fetched from its start.
bool dropChangedFile(HttpRun& run) {
    postLogLine(run.t.item, kServerFileChanged);
    if (!placeWritePosition(run.t, 0)) return false;
    sharedWrite(run.t.item.fetchedSize, uint64_t{0});
    noteValidator(run.t, {});
    return true;
}

// Ends a body whose framing broke: the bytes of its last chunk may be framing taken for data, so
// the file keeps only those of chunks that closed as their size said.
Attempt failBrokenChunks(Transfer& t, uint64_t bodyStart, const ChunkDecoder& chunks) {
    postLogLine(t.item, "info>チャンク形式の誤り");
    uint64_t trusted = bodyStart + chunks.closedPayload;
    if (!placeWritePosition(t, trusted)) return ended();
    sharedWrite(t.item.fetchedSize, trusted);
    fail(t, STAGE_DATA);
    return ended();
}

// The body ended (the server closed, or the last chunk came): complete when it brought what the
// response announced, or when nothing was announced and the end is a sure one.
Attempt endOfBody(HttpRun& run, bool sureEnd) {
    DownloadItem& item = run.t.item;
    bool complete = item.totalSize == 0 ? sureEnd : item.totalSize == item.fetchedSize;
    if (!complete) return retry(run, STAGE_DATA);
    postProgress(item, true);
    finish(run.t, CMD_SUCCEEDED);
    return ended();
}

// Reads the body until the server closes; a chunked one is taken out of its framing on the way and
// ends with its last chunk.
Attempt readBody(HttpRun& run, bool chunked) {
    Transfer& t = run.t;
    DownloadItem& item = t.item;
    ChunkDecoder chunks;
    uint64_t bodyStart = item.fetchedSize;
    size_t chunk = 0;
    char* buffer = beginDataPhase(t, chunk);
    if (!buffer) {
        fail(t, STAGE_BUFFER_OVERFLOW);
        return ended();
    }
    for (;;) {
        int count = 0;
        switch (receiveChunk(t, buffer, chunk, count)) {
        case NET_OK: break;
        case NET_ABORTED: finishAborted(t); return ended();
        default: postLogLine(item, "info>タイムアウト"); return retry(run, STAGE_DATA);
        }
        if (count < 0) {
            // A connection lost after every announced byte arrived lost nothing.
            if (!chunked && item.totalSize != 0 && item.fetchedSize == item.totalSize) return endOfBody(run, false);
            return retry(run, STAGE_DATA);
        }
        // Fill the rest of the chunk with whatever has already arrived, so that each pause after a
        // write follows a whole chunk whenever the data is there, and writes are large.
        if (count > 0) count += static_cast<int>(receiveReady(t, buffer + count, chunk - static_cast<size_t>(count)));
        // Without framing the close is the end; a chunked body closed before its last chunk is not whole.
        if (count == 0) return endOfBody(run, !chunked);
        size_t payload = static_cast<size_t>(count);
        ChunkStatus status = chunked ? decodeChunks(chunks, buffer, payload, payload) : ChunkStatus::More;
        DWORD written = 0;
        if (payload > 0 && (!WriteFile(static_cast<HANDLE>(item.fileHandle), buffer, static_cast<DWORD>(payload),
                                       &written, nullptr) ||
                            written != static_cast<DWORD>(payload))) {
            fail(t, STAGE_FILE_WRITE);
            return ended();
        }
        sharedWrite(item.fetchedSize, item.fetchedSize + payload);
        if (status == ChunkStatus::Bad) return failBrokenChunks(t, bodyStart, chunks);
        if (status == ChunkStatus::Done) return endOfBody(run, true);
        uint32_t now = timeGetTime();
        if (now != item.startTick) {
            item.speed = speedOf(item.fetchedSize, item.startSize, now - item.startTick);
            postProgress(item);
        }
        pauseAfterChunk(t, static_cast<size_t>(count));
    }
}

Attempt attempt(HttpRun& run) {
    Transfer& t = run.t;
    DownloadItem& item = t.item;
    UrlTarget parts = urlTarget(run.url);
    if (!parts.ok || hasControlCharacter(run.url)) {
        fail(t, STAGE_BAD_URL);
        return ended();
    }
    if (!linesStayWhole(t, brokenPart(run, parts))) return ended();
    Attempt a = openConnection(run, parts);
    if (a != Attempt::Continue) return a;

    Sleep(10);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(static_cast<HANDLE>(item.fileHandle), &size)) {
        fail(t, STAGE_FILE_SIZE);
        return ended();
    }
    sharedWrite(item.fetchedSize, static_cast<uint64_t>(size.QuadPart));
    view->updateFetched(item);
    uint64_t rememberedTotal = sharedRead(item.totalSize);

    a = sendRequest(run, parts, item.fetchedSize);
    if (a != Attempt::Continue) return a;

    HeaderScan scan;
    a = readHeader(run, scan);
    if (a != Attempt::Continue) return a;
    if (!takeServerName(t, scan.contentDisposition, item.fetchedSize)) return ended();
    // Framed in chunks, the body's length is the framing's: a Content-Length beside it means nothing.
    if (scan.chunked) scan.contentLength = -1;
    std::string validator = httpValidator(scan.etag, scan.lastModified);
    bool partial = scan.rangeFirst != -1;
    int64_t announced = partial ? scan.rangeTotal : scan.contentLength;
    if (item.fetchedSize != 0 &&
        serverFileChanged(run.t.validator, rememberedTotal, validator, announced > 0 ? static_cast<uint64_t>(announced) : 0)) {
        if (!dropChangedFile(run)) return ended();
        // A part of the new file is of no use yet: the whole is asked for.
        if (partial && scan.rangeFirst != 0) return Attempt::Again;
    }
    BodyPlan plan = planBody(scan, item.fetchedSize);
    // Bytes written from the first one are of this response's version; later ones keep the version
    // of those before them (or name it, when it was not known). Noted only once the file holds
    // nothing of another version: a save in between must never claim more than the file is.
    bool newVersion = plan.writePosition == 0 || !validator.empty();

    switch (plan.kind) {
    case BodyPlan::Complete:
        if (newVersion) noteValidator(t, validator);
        sharedWrite(item.totalSize, plan.total);
        view->updateSize(item);
        finish(t, CMD_SUCCEEDED);
        return ended();
    case BodyPlan::TooLarge: fail(t, STAGE_FILE_SIZE); return ended();
    case BodyPlan::BadRange: return retry(run, STAGE_RECOVERY_HEADER);
    case BodyPlan::Fetch: break;
    }
    sharedWrite(item.totalSize, plan.total);
    sharedWrite(item.fetchedSize, plan.writePosition);
    sharedWrite(item.startSize, plan.writePosition);
    item.speed = 0;
    view->updateSize(item);
    view->updateProgress(item);
    // Ranges over several connections start from an empty save file: bytes a single connection
    // left in it go on over one. Ranges an earlier run recorded go on as ranges, however many
    // connections the list now allows.
    if (!run.singleConnection && plan.writePosition == 0 && rangesUsable(scan, plan.total) &&
        (t.list.connectionsPerItem > 1 || rangesRecorded(t.source, item)))
        return fetchRanges(run, validator, partial ? static_cast<uint64_t>(scan.rangeLast + 1) : plan.total);
    if (!placeWritePosition(t, plan.writePosition)) return ended();
    if (newVersion) noteValidator(t, validator);
    Sleep(10);
    // We asked for the resource itself; a server that encodes it all the same gets its bytes stored
    // as it sent them, and the log says so.
    if (!scan.contentEncoding.empty()) postLogLine(item, "info>符号化されたまま保存 (" + scan.contentEncoding + ")");
    postLogLine(item, "info>取得中");
    item.startTick = timeGetTime();
    return readBody(run, scan.chunked);
}

}  // namespace

DWORD WINAPI httpTransfer(LPVOID param) {
    DownloadItem& item = *static_cast<DownloadItem*>(param);
    HttpRun run(item, downloadLists[item.listIndex]);
    {
        ItemLockGuard lock;
        run.url = item.url;
        run.t.validator = item.validator;
        copyTabSettings(run.t.list, run.t.source);
        item.tryCount = 1;
        item.maxTry = run.t.list.maxTryNum;
        view->updateTries(item);
        run.t.buffSize = run.t.list.buffSize;
    }
    run.itemOrigin = urlTarget(run.url);
    if (!allocateBuffer(run.t)) {
        fail(run.t, STAGE_BUFFER_OVERFLOW);  // no room for the recovery buffer
    } else {
        for (;;) {
            Attempt a = attempt(run);
            if (run.t.ended) break;
            if (a == Attempt::Again) {
                closeSocket(run.t);
                continue;
            }
            if (!retryStep(run.t, run.retryStage)) break;
            run.redirects = 0;
        }
    }
    endTransfer(run.t);
    return 0;
}
