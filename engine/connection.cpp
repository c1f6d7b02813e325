#include "engine/connection.h"
#include "common/text.h"
#include "common/url_rules.h"
#include "common/view.h"
#include "engine/http_header.h"
#include "engine/thread_links.h"
#include "engine/tls_channel.h"
#include "lists/item_lock.h"
#include "lists/item_log.h"
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <windows.h>
#include <mmsystem.h>

namespace {

constexpr long kTickMicroseconds = 250000;
constexpr int kExitCutTicks = 20;

// The time-out budget of one wait: timeOutTime x 4 poll ticks; no limit when timeOutTime is 0.
struct Budget {
    explicit Budget(const DownloadList& list) : limited(list.timeOutTime != 0), ticks(list.timeOutTime * 4) {}
    bool limited;
    int32_t ticks;
    // Counts one idle tick; true when the budget was already spent.
    bool spend() {
        if (!limited) return false;
        if (ticks <= 0) return true;
        --ticks;
        return false;
    }
};

// The logout's budget: while the program exits a wait ends 20 ticks before its budget would.
struct ExitBudget {
    explicit ExitBudget(const DownloadList& list) : budget(list) {
        cut = budget.ticks > kExitCutTicks ? budget.ticks - kExitCutTicks : -1;
    }
    Budget budget;
    int32_t cut;
    int32_t exitingTicks = 0;
    enum Tick { Wait, TimedOut, CutShort };
    Tick spend() {
        if (currentRunState() == RUN_EXITING) {
            if (budget.limited ? budget.ticks == cut : ++exitingTicks >= kExitCutTicks) return CutShort;
        }
        return budget.spend() ? TimedOut : Wait;
    }
};

// One select of up to 250 ms; true when the socket is ready (for reading, or for writing).
bool pollReady(SOCKET s, bool forWrite) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tick{0, kTickMicroseconds};
    int n = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &tick);
    return n == 1;
}

void logf(DownloadItem& item, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logf(DownloadItem& item, const char* format, ...) {
    char line[kLogLineLength + 2];  // room past the limit, so that postLogLine cuts between characters
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    postLogLine(item, line);
}

bool retryableConnectError(int code) {
    return code == WSAENETUNREACH || code == WSAETIMEDOUT || code == WSAECONNREFUSED;
}

}  // namespace

Transfer::Transfer(DownloadItem& item, DownloadList& list) : item(item), source(list) {}
Transfer::~Transfer() = default;

bool startWinSock() {
    WSADATA data;
    if (WSAStartup(0x0101, &data) != 0) return false;
    view->clearLogPane();
    char line[WSADESCRIPTION_LEN + WSASYS_STATUS_LEN + 2];
    std::snprintf(line, sizeof line, "%s%s", data.szDescription, data.szSystemStatus);
    view->addLogPaneLine(line);
    return true;
}

void stopWinSock() {
    view->clearLogPane();
    view->addLogPaneLine(WSACleanup() == 0 ? "WinSockをクローズしました" : "WinSockのクローズに失敗");
}

void postLogLine(DownloadItem& item, std::string_view text) {
    char* copy = duplicateText(text.substr(0, fittingLength(text, kLogLineLength)));
    if (!copy) return;
    if (!PostThreadMessageA(schedulerThreadId, SCHED_LOG_LINE, reinterpret_cast<WPARAM>(copy),
                            reinterpret_cast<LPARAM>(&item)))
        delete[] copy;
}

void postProgress(DownloadItem& item, bool last) {
    // The scheduler shows the counters as they are when it gets to the refresh, so one waiting
    // refresh per item is enough, and ten a second are plenty for the eye. Without these limits
    // many fast transfers keep the scheduler and the windows busy with refreshes alone, and a stop
    // or an exit waits behind them.
    uint32_t now = timeGetTime();
    if (!last && now - item.progressTick < 100) return;
    item.progressTick = now;
    if (__atomic_exchange_n(&item.progressPending, uint8_t{1}, __ATOMIC_ACQ_REL)) return;
    // A refresh that cannot be posted must not leave the mark behind, or none would ever be again.
    if (!PostThreadMessageA(schedulerThreadId, SCHED_PROGRESS, 0, reinterpret_cast<LPARAM>(&item)))
        __atomic_store_n(&item.progressPending, uint8_t{0}, __ATOMIC_RELEASE);
}

void postOutcome(DownloadItem& item, uint32_t command) {
    // The scheduler runs as long as any transfer thread does, so only a full queue refuses the post.
    while (!PostThreadMessageA(schedulerThreadId, SCHED_ITEM_COMMAND, command, reinterpret_cast<LPARAM>(&item)) &&
           GetLastError() == ERROR_NOT_ENOUGH_QUOTA)
        Sleep(10);
}

void noteValidator(Transfer& t, const std::string& validator) {
    if (validator == t.validator) return;
    t.validator = validator;
    ItemLockGuard lock;
    t.item.validator = validator;
}

bool isAbortState(uint8_t state) { return state == StopRequested || state == DeleteRequested; }

void finish(Transfer& t, SchedCommand command) {
    t.ended = true;
    t.outcome = command;
}

void fail(Transfer& t, FailStage stage) {
    t.item.failStage = stage;
    finish(t, CMD_FAILED);
}

void finishAborted(Transfer& t) {
    finish(t, sharedRead(t.item.state) == DeleteRequested ? CMD_DELETE : CMD_STOPPED);
}

namespace {

// A redirect's Location line may hold a whole URL of kMaxUrlLength characters whatever the buffer
// size (signed links run to thousands, and a cut one names another resource); every other reply
// line is held to the buffer.
constexpr size_t kLongestLocationLine = 80 + kMaxUrlLength;

bool isLocationLine(const char* line, size_t length) {
    return length >= 9 && equalsNoCase(std::string_view(line, 9), "location:");
}

}  // namespace

bool allocateBuffer(Transfer& t) {
    // On a 32-bit build buffSize + 1 wraps to 0 for the largest buffSize.
    if (sizeof(size_t) == sizeof(uint32_t) && t.buffSize == UINT32_MAX) return false;
    t.buffer.reset(new (std::nothrow) char[std::max<size_t>(t.buffSize, kLongestLocationLine) + 1]);
    return t.buffer != nullptr;
}

char* beginDataPhase(Transfer& t, size_t& chunk) {
    t.pace = Pace{t.list.speedLimit};
    chunk = paceChunkSize(t.pace.limit, t.buffSize);
    if (t.pace.limit == kPaceStepped) return t.buffer.get();
    if (!t.freeBuffer) t.freeBuffer.reset(new (std::nothrow) char[kFreeChunkSize]);
    return t.freeBuffer.get();
}

void pauseAfterChunk(Transfer& t, size_t bytes) {
    uint32_t wait = 0;
    if (t.sharedPace) {
        std::lock_guard<std::mutex> hold(t.sharedPace->lock);
        wait = paceWait(t.sharedPace->pace, bytes, timeGetTime());
    } else {
        wait = paceWait(t.pace, bytes, timeGetTime());
    }
    while (wait > 0) {
        uint32_t step = wait < 100 ? wait : 100;
        Sleep(step);
        wait -= step;
        if (wait > 0 && isAbortState(sharedRead(t.item.state))) return;
    }
}

bool linesStayWhole(Transfer& t, const char* part) {
    if (!part) return true;
    postLogLine(t.item, std::string("info>") + part + "に改行またはNULがあるため送信しません");
    fail(t, STAGE_BAD_URL);
    return false;
}

void closeSocket(Transfer& t) {
    t.tls.reset();
    t.headAhead.clear();
    t.headAheadAt = 0;
    t.headBefore.clear();
    if (t.sock == INVALID_SOCKET) return;
    shutdown(t.sock, 2);
    closesocket(t.sock);
    t.sock = INVALID_SOCKET;
}

namespace {

// The connection attempts of one try that are under way, each to one of the peer's addresses.
class ConnectRace {
public:
    ConnectRace(Transfer& t, const std::vector<PeerAddress>& peers) : t_(t), peers_(peers) {}
    ConnectRace(const ConnectRace&) = delete;
    ConnectRace& operator=(const ConnectRace&) = delete;
    ~ConnectRace() {
        for (const Running& r : running_) closesocket(r.sock);
    }

    ConnectResult run(const char* hostText);

private:
    struct Running {
        SOCKET sock;
        size_t index;
    };

    // Starts connecting to the next address; false when none is left to start.
    bool startNext();
    void dropFailed(size_t at, int error);
    ConnectResult won(size_t at, const char* hostText);

    Transfer& t_;
    const std::vector<PeerAddress>& peers_;
    std::vector<Running> running_;
    size_t next_ = 0;
    int lastError_ = 0;
    bool anySocket_ = false;
};

bool ConnectRace::startNext() {
    while (next_ < peers_.size()) {
        size_t index = next_++;
        const PeerAddress& peer = peers_[index];
        // A family the system cannot open (no IPv6 at all) is one more address that fails.
        SOCKET s = socket(peer.family(), SOCK_STREAM, 0);
        if (s == INVALID_SOCKET) {
            lastError_ = WSAGetLastError();
            continue;
        }
        anySocket_ = true;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        running_.push_back({s, index});
        if (connect(s, peer.get(), peer.length) == 0) return true;
        int code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK || code == WSAEALREADY || code == 0) return true;
        dropFailed(running_.size() - 1, code);
    }
    return false;
}

void ConnectRace::dropFailed(size_t at, int error) {
    lastError_ = error;
    closesocket(running_[at].sock);
    size_t index = running_[at].index;
    running_.erase(running_.begin() + static_cast<ptrdiff_t>(at));
    if (next_ < peers_.size() || !running_.empty())
        postLogLine(t_.item, "info>" + peerText(peers_[index]) + " に接続できないため、次のアドレスを試します");
}

ConnectResult ConnectRace::won(size_t at, const char* hostText) {
    t_.sock = running_[at].sock;
    t_.peer = peers_[running_[at].index];
    running_.erase(running_.begin() + static_cast<ptrdiff_t>(at));
    std::string line = "info>接続 (";
    if (hostText) line += hostText;
    postLogLine(t_.item, line + peerText(t_.peer) + ")");
    if (t_.stepPauses) Sleep(10);
    return ConnectResult::Connected;
}

ConnectResult ConnectRace::run(const char* hostText) {
    if (t_.stepPauses) Sleep(10);
    startNext();
    Budget budget(t_.list);
    for (;;) {
        if (running_.empty() && !startNext()) {
            if (!anySocket_) {
                fail(t_, STAGE_SOCKET_INIT);
                return ConnectResult::Ended;
            }
            return retryableConnectError(lastError_) ? ConnectResult::Retry : ConnectResult::Failed;
        }
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        for (const Running& r : running_) {
            FD_SET(r.sock, &writable);
            FD_SET(r.sock, &failed);
        }
        timeval tick{0, kTickMicroseconds};
        int n = select(0, nullptr, &writable, &failed, &tick);
        if (n == SOCKET_ERROR) return ConnectResult::Retry;
        if (n > 0) {
            // A refused or unreachable peer shows up as an exception, not as writability.
            bool anyFailed = false;
            for (size_t i = running_.size(); i-- > 0;) {
                if (FD_ISSET(running_[i].sock, &failed)) {
                    int error = 0;
                    int size = sizeof error;
                    getsockopt(running_[i].sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
                    dropFailed(i, error);
                    anyFailed = true;
                } else if (FD_ISSET(running_[i].sock, &writable)) {
                    return won(i, hostText);
                }
            }
            // A failed address makes way for the next at once, whatever still runs beside it.
            if (anyFailed && !running_.empty()) startNext();
            continue;
        }
        if (isAbortState(sharedRead(t_.item.state))) {
            finishAborted(t_);
            return ConnectResult::Ended;
        }
        if (budget.spend()) {
            postLogLine(t_.item, "info>タイムアウト");
            return ConnectResult::Retry;
        }
        // A silent address keeps its attempt, and the next one starts beside it.
        startNext();
        Sleep(10);
    }
}

// Waits for `lookup` as for any reply: a stop or delete ends the wait within a tick.
bool awaitLookup(Transfer& t, const HostLookup& lookup) {
    for (;;) {
        Sleep(10);
        switch (lookup.state()) {
        case HostLookup::State::Found: return true;
        case HostLookup::State::Failed: fail(t, STAGE_HOST_LOOKUP); return false;
        case HostLookup::State::Pending: break;
        }
        if (isAbortState(sharedRead(t.item.state))) {
            finishAborted(t);
            return false;
        }
    }
}

}  // namespace

ConnectResult connectHost(Transfer& t, const char* host, uint16_t port) {
    PeerAddress numeric;
    if (numericAddress(host, port, numeric)) return connectPeer(t, numeric, nullptr);
    HostLookup lookup;
    if (!lookup.start(host, port)) {
        fail(t, STAGE_HOST_LOOKUP);
        return ConnectResult::Ended;
    }
    if (!awaitLookup(t, lookup)) return ConnectResult::Ended;
    return ConnectRace(t, lookup.addresses()).run(host);
}

ConnectResult connectPeer(Transfer& t, const PeerAddress& address, const char* hostText) {
    std::vector<PeerAddress> one{address};
    return ConnectRace(t, one).run(hostText);
}

void takeTrySettings(Transfer& t) {
    ItemLockGuard lock;
    copyTabSettings(t.list, t.source);
}

bool retryStep(Transfer& t, FailStage stage) {
    if (t.item.tryCount >= static_cast<int32_t>(t.item.maxTry)) {
        fail(t, stage);
        return false;
    }
    ++t.item.tryCount;
    view->updateTries(t.item);
    closeSocket(t);
    // The wait may be an hour long: a stop, a delete or the program's exit (which stops every item)
    // ends it within a tick, while the next try still comes only after all of it.
    constexpr int32_t kLongestWait = 4000000;  // seconds: 46 days still fit the millisecond clock
    int32_t seconds = t.list.retryWaitTime < 0 ? 0 : t.list.retryWaitTime > kLongestWait ? kLongestWait : t.list.retryWaitTime;
    DWORD wait = static_cast<DWORD>(seconds) * 1000;
    DWORD begin = timeGetTime();
    for (;;) {
        if (isAbortState(sharedRead(t.item.state))) {
            finishAborted(t);
            return false;
        }
        DWORD waited = timeGetTime() - begin;
        if (waited >= wait) break;
        Sleep(wait - waited < 10 ? wait - waited : 10);
    }
    takeTrySettings(t);
    return true;
}

NetResult waitReadable(Transfer& t) {
    Budget budget(t.list);
    for (;;) {
        if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
        if (pollReady(t.sock, false)) return NET_OK;
        if (budget.spend()) return NET_TIMEOUT;
        Sleep(10);
    }
}

namespace {

// Sends all of `bytes`, asking `idle` what an idle tick means (NET_OK to go on waiting, or the
// result that ends the send).
template <typename Idle> NetResult sendBytes(Transfer& t, std::string_view bytes, Idle idle) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (!pollReady(t.sock, true)) {
            if (NetResult r = idle(); r != NET_OK) return r;
            Sleep(10);
            continue;
        }
        int n = send(t.sock, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n == SOCKET_ERROR) return NET_ERROR;
        sent += static_cast<size_t>(n);
    }
    return NET_OK;
}

// Sends the whole line (as TLS records on a TLS connection), then logs it without its CR LF.
template <typename Idle>
NetResult sendWhole(Transfer& t, std::string_view line, Idle idle, std::string_view shown = {}) {
    if (t.tls) {
        if (!t.tls->encrypt(line)) return NET_ERROR;
        std::string records;
        records.swap(t.tls->pending);
        if (NetResult r = sendBytes(t, records, idle); r != NET_OK) return r;
    } else if (NetResult r = sendBytes(t, line, idle); r != NET_OK) {
        return r;
    }
    std::string text = "send>";
    if (!shown.empty())
        text.append(shown);
    else
        text.append(line.substr(0, line.size() >= 2 ? line.size() - 2 : 0));
    if (t.logTraffic) postLogLine(t.item, text);
    return NET_OK;
}

}  // namespace

NetResult sendLine(Transfer& t, std::string_view line, std::string_view shown) {
    Budget budget(t.list);
    if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
    return sendWhole(
        t, line,
        [&] {
            if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
            return budget.spend() ? NET_TIMEOUT : NET_OK;
        },
        shown);
}

NetResult waitReadableAtExit(Transfer& t) {
    ExitBudget budget(t.list);
    for (;;) {
        if (pollReady(t.sock, false)) return NET_OK;
        switch (budget.spend()) {
        case ExitBudget::CutShort: return NET_OK;
        case ExitBudget::TimedOut: return NET_TIMEOUT;
        case ExitBudget::Wait: break;
        }
        Sleep(10);
    }
}

NetResult sendLineAtExit(Transfer& t, std::string_view line) {
    ExitBudget budget(t.list);
    bool cutShort = false;
    NetResult r = sendWhole(t, line, [&] {
        switch (budget.spend()) {
        case ExitBudget::CutShort: cutShort = true; return NET_ABORTED;
        case ExitBudget::TimedOut: return NET_TIMEOUT;
        case ExitBudget::Wait: break;
        }
        return NET_OK;
    });
    return cutShort ? NET_OK : r;  // while exiting, a send that cannot go out is given up quietly
}

namespace {

// The abort states and the budget of one send.
NetResult sendRaw(Transfer& t, std::string_view bytes) {
    Budget budget(t.list);
    if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
    return sendBytes(t, bytes, [&] {
        if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
        return budget.spend() ? NET_TIMEOUT : NET_OK;
    });
}

NetResult receiveRaw(Transfer& t, char* dst, size_t size, int& count) {
    // Try to receive first and wait only when nothing is there: a select costs far more than a
    // receive that finds data, and the abort states are still looked at before every receive.
    Budget budget(t.list);
    for (;;) {
        if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
        int n = recv(t.sock, dst, static_cast<int>(size), 0);
        if (n != SOCKET_ERROR) {
            count = n;
            return NET_OK;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            count = -1;
            return NET_OK;
        }
        if (pollReady(t.sock, false)) continue;
        if (budget.spend()) return NET_TIMEOUT;
        Sleep(10);
    }
}

// What the TLS session has ready, decrypting what has arrived; none when it needs more input.
size_t takeDecrypted(TlsChannel& tls, char* dst, size_t size, TlsChannel::Read& last) {
    for (;;) {
        if (size_t n = tls.take(dst, size)) return n;
        last = tls.decrypt();
        if (last != TlsChannel::Read::Data) return 0;
    }
}

}  // namespace

TlsStart startTls(Transfer& t, const char* host) {
    t.tls.reset(new (std::nothrow) TlsChannel);
    postLogLine(t.item, "info>TLSハンドシェイク");
    if (!t.tls || !t.tls->begin(host)) {
        logf(t.item, "info>TLSハンドシェイクに失敗 (0x%08lX)", t.tls ? static_cast<unsigned long>(t.tls->status()) : 0ul);
        return TlsStart::HandshakeFailed;
    }
    for (;;) {
        // Whatever the handshake has to say goes out before we wait for the server's answer.
        TlsChannel::Step step = t.tls->handshake();
        if (step == TlsChannel::Step::Failed) {
            if (!t.tls->pending.empty()) sendRaw(t, t.tls->pending);  // the alert that says why
            logf(t.item, "info>TLSハンドシェイクに失敗 (0x%08lX)", static_cast<unsigned long>(t.tls->status()));
            return TlsStart::HandshakeFailed;
        }
        if (!t.tls->pending.empty()) {
            std::string out;
            out.swap(t.tls->pending);
            switch (sendRaw(t, out)) {
            case NET_OK: break;
            case NET_ABORTED: return TlsStart::Aborted;
            case NET_TIMEOUT: return TlsStart::TimedOut;
            default: return TlsStart::Closed;
            }
        }
        if (step == TlsChannel::Step::Done) break;
        size_t room = 0;
        char* space = t.tls->inputSpace(room);
        int count = 0;
        switch (receiveRaw(t, space, room, count)) {
        case NET_OK: break;
        case NET_ABORTED: return TlsStart::Aborted;
        default: return TlsStart::TimedOut;
        }
        if (count <= 0) return TlsStart::Closed;
        t.tls->received(static_cast<size_t>(count));
    }
    if (uint32_t error = t.tls->verifyServer()) {
        logf(t.item, "info>証明書の検証に失敗 (0x%08lX)", static_cast<unsigned long>(error));
        return TlsStart::CertificateRefused;
    }
    logf(t.item, "info>TLS (%s)", t.tls->protocolName());
    return TlsStart::Ready;
}

NetResult receiveChunk(Transfer& t, char* dst, size_t size, int& count) {
    if (!t.tls) return receiveRaw(t, dst, size, count);
    for (;;) {
        if (isAbortState(sharedRead(t.item.state))) return NET_ABORTED;
        TlsChannel::Read last = TlsChannel::Read::NeedInput;
        if (size_t n = takeDecrypted(*t.tls, dst, size, last)) {
            count = static_cast<int>(n);
            return NET_OK;
        }
        if (last == TlsChannel::Read::Closed) {
            count = 0;
            return NET_OK;
        }
        if (last == TlsChannel::Read::Failed) {
            logf(t.item, "info>TLSの受信に失敗 (0x%08lX)", static_cast<unsigned long>(t.tls->status()));
            count = -1;
            return NET_OK;
        }
        // A new handshake the server asked for waits for our answer before anything else comes.
        if (!t.tls->pending.empty()) {
            std::string out;
            out.swap(t.tls->pending);
            if (NetResult r = sendRaw(t, out); r != NET_OK) {
                if (r != NET_ERROR) return r;
                count = -1;
                return NET_OK;
            }
        }
        size_t room = 0;
        char* space = t.tls->inputSpace(room);
        int raw = 0;
        if (NetResult r = receiveRaw(t, space, room, raw); r != NET_OK) return r;
        if (raw <= 0) {
            if (raw == 0) postLogLine(t.item, "info>TLSの終了通知なしに切断");
            count = -1;
            return NET_OK;
        }
        t.tls->received(static_cast<size_t>(raw));
    }
}

size_t receiveReady(Transfer& t, char* dst, size_t size) {
    size_t got = 0;
    while (got < size) {
        if (t.tls) {
            TlsChannel::Read last = TlsChannel::Read::NeedInput;
            if (size_t n = takeDecrypted(*t.tls, dst + got, size - got, last)) {
                got += n;
                continue;
            }
            // The next receiveChunk reports the end, or sends what a new handshake has to say.
            if (last != TlsChannel::Read::NeedInput || !t.tls->pending.empty()) break;
            size_t room = 0;
            char* space = t.tls->inputSpace(room);
            int n = room ? recv(t.sock, space, static_cast<int>(room), 0) : 0;
            if (n <= 0) break;
            t.tls->received(static_cast<size_t>(n));
        } else {
            int n = recv(t.sock, dst + got, static_cast<int>(size - got), 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
    }
    return got;
}

LineAssembler::Step LineAssembler::add(Transfer& t, char c) {
    if (c == '\n') {
        t.buffer[length] = '\0';
        return Complete;
    }
    if (c == '\r' && !afterCr) {
        afterCr = true;
        return More;
    }
    afterCr = false;
    if (length >= t.buffSize && !(length < kLongestLocationLine && isLocationLine(t.buffer.get(), length)))
        return Overflow;
    t.buffer[length++] = c;
    return More;
}

namespace {

// The next byte of a reply's head over a plain connection without step pauses: the bytes that have
// arrived are looked at, and as many as belong to the head are taken in at once.
NetResult receiveHeadByte(Transfer& t, char& c, int& count) {
    if (t.headAheadAt == t.headAhead.size()) {
        char arrived[2048];
        int seen = SOCKET_ERROR;
        for (;;) {
            if (NetResult r = waitReadable(t); r != NET_OK) return r;
            seen = recv(t.sock, arrived, sizeof arrived, MSG_PEEK);
            if (seen != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) break;
        }
        if (seen <= 0) {
            count = seen == 0 ? 0 : -1;
            return NET_OK;
        }
        bool ended = false;
        size_t head = headBytes(t.headBefore, std::string_view(arrived, static_cast<size_t>(seen)), ended);
        t.headAhead.resize(head);
        int taken = recv(t.sock, t.headAhead.data(), static_cast<int>(head), 0);
        if (taken <= 0) {
            count = -1;
            return NET_OK;
        }
        t.headAhead.resize(static_cast<size_t>(taken));
        t.headAheadAt = 0;
        // The head ends with these bytes, or goes on after their last two.
        std::string last = t.headBefore + t.headAhead;
        t.headBefore = ended && static_cast<size_t>(taken) == head ? std::string() : last.substr(last.size() - std::min<size_t>(2, last.size()));
    }
    c = t.headAhead[t.headAheadAt++];
    count = 1;
    return NET_OK;
}

}  // namespace

ReadLine readReplyLine(Transfer& t, size_t& length) {
    LineAssembler line;
    for (;;) {
        char c;
        int count = 0;
        NetResult r = t.stepPauses || t.tls ? receiveChunk(t, &c, 1, count) : receiveHeadByte(t, c, count);
        if (r == NET_ABORTED) return ReadLine::Aborted;
        if (r == NET_TIMEOUT) return ReadLine::TimedOut;
        if (count != 1) return ReadLine::Closed;
        switch (line.add(t, c)) {
        case LineAssembler::More: break;
        case LineAssembler::Overflow: return ReadLine::Overflow;
        case LineAssembler::Complete: length = line.length; return ReadLine::Line;
        }
    }
}

void endTransfer(Transfer& t) {
    t.buffer.reset();
    t.freeBuffer.reset();
    closeSocket(t);
    // Exactly one outcome per run, and it is the last thing the thread says about the item.
    if (!t.ended) fail(t, STAGE_DATA);
    postOutcome(t.item, t.outcome);
}
