#include "engine/ftp_transfer.h"
#include "common/name_case.h"
#include "common/text.h"
#include "common/view.h"
#include "engine/connection.h"
#include "engine/ftp_reply.h"
#include "engine/http_header.h"
#include "engine/thread_links.h"
#include "engine/validator.h"
#include "common/url_rules.h"
#include "lists/item_lock.h"
#include <cstring>
#include <mmsystem.h>
#include <string>

namespace {

// Numbers of replies are held at 2^62 when they are larger still: one there is past any file.
constexpr uint64_t kMaxSize = (uint64_t{1} << 62) - 1;

// SIZE and MDTM are questions some servers never answer: a reply is waited for this long at most,
// not for the try's whole time-out.
constexpr int32_t kFactWaitSeconds = 2;

// The login of a run that a redirect sent to another host, where the list's user is nobody.
constexpr std::string_view kAnonymousUser = "anonymous";
constexpr std::string_view kAnonymousPassword = "fetcher@";

// How a step before the login went.
enum class Go {
    On,     // go on with the next step
    Retry,  // take the retry step, or fail with `retryStage` when no tries remain
    Ended,  // the run has its outcome
};

struct FtpRun {
    FtpRun(DownloadItem& item, DownloadList& list) : t(item, list), data(item, list) {}
    Transfer t;     // the control connection, the transfer buffer and the outcome decided so far
    Transfer data;  // only its socket: the passive data connection
    std::string url;              // the item's URL, or the target of the redirect that led here
    bool redirected = false;      // the URL is where an http(s) server sent the item ...
    std::string ownHost;          // ... whose own URL names this host: the list's login is for it alone
    std::string path;             // request path of the current attempt
    uint32_t type = 2060;         // FTP.type at the start
    FailStage retryStage = STAGE_CONNECT;
    size_t lineLength = 0;        // length of the last reply line, which stays in the buffer
    bool extendedRefused = false; // the server refused EPSV: PASV from then on
    bool succeeded = false;       // the data ended with 226, or the file was complete already
    bool posted = false;          // an outcome went to the scheduler ...
    uint32_t postedCommand = 0;   // ... and this was it
};

std::string_view lastLine(const FtpRun& run) { return {run.t.buffer.get(), run.lineLength}; }

Go retry(FtpRun& run, FailStage stage) {
    run.retryStage = stage;
    return Go::Retry;
}

void post(FtpRun& run, uint32_t command) {
    postOutcome(run.t.item, command);
    run.posted = true;
    run.postedCommand = command;
}

// Posts a failure, stop or delete of the dialogue before the logout, which can take a while; the
// logout's report then knows what was said already.
void postDecided(FtpRun& run) {
    if (run.t.ended && !run.posted) post(run, run.t.outcome);
}

// The logout's report. An outcome posted earlier stands, but a delete request that came after it
// must still be acknowledged: the scheduler drops every other command for an item being deleted,
// and frees the item only on CMD_DELETE.
void report(FtpRun& run, FailStage stage) {
    uint8_t state = sharedRead(run.t.item.state);
    if (!run.posted) {
        if (state == StopRequested) {
            post(run, CMD_STOPPED);
        } else if (state == DeleteRequested) {
            post(run, CMD_DELETE);
        } else {
            run.t.item.failStage = stage;
            post(run, CMD_FAILED);
        }
    } else if (run.postedCommand != CMD_DELETE && state == DeleteRequested) {
        post(run, CMD_DELETE);
    }
}

// The line reader of the logout: the waits of the program's exit, no abort states.
ReadLine readLineAtExit(Transfer& t, size_t& length) {
    LineAssembler line;
    for (;;) {
        char c;
        int n = recv(t.sock, &c, 1, 0);
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
            if (waitReadableAtExit(t) != NET_OK) return ReadLine::TimedOut;
            n = recv(t.sock, &c, 1, 0);  // still nothing after a wait cut short by the exit: given up
        }
        if (n != 1) return ReadLine::Closed;
        switch (line.add(t, c)) {
        case LineAssembler::More: break;
        case LineAssembler::Overflow: return ReadLine::Overflow;
        case LineAssembler::Complete: length = line.length; return ReadLine::Line;
        }
    }
}

// Reads one whole reply, logging every line; `code` is its first line's code. The last line stays
// in the transfer buffer.
ReadLine readReply(FtpRun& run, int& code, ReadLine (*readLine)(Transfer&, size_t&) = readReplyLine) {
    ReplyLines reply;
    for (;;) {
        ReadLine r = readLine(run.t, run.lineLength);
        if (r != ReadLine::Line) {
            run.lineLength = 0;
            return r;
        }
        std::string text = "recv>";
        text.append(lastLine(run));
        postLogLine(run.t.item, text);
        if (reply.take(lastLine(run))) break;
    }
    code = reply.code;
    return ReadLine::Line;
}

// --- Before the login: failures end the run at once, lost connections are retried. ---

Go readBeforeLogin(FtpRun& run, FtpStep step, int& code) {
    switch (readReply(run, code)) {
    case ReadLine::Line: return Go::On;
    case ReadLine::Aborted: finishAborted(run.t); return Go::Ended;
    case ReadLine::TimedOut: postLogLine(run.t.item, "info>タイムアウト"); return retry(run, refusalStage(step));
    case ReadLine::Closed: return retry(run, refusalStage(step));
    case ReadLine::Overflow: break;
    }
    fail(run.t, STAGE_BUFFER_OVERFLOW);
    return Go::Ended;
}

Go judgeBeforeLogin(FtpRun& run, FtpStep step, int code) {
    switch (judgeReply(step, code)) {
    case Verdict::GoOn:
    case Verdict::ReadNext: return Go::On;
    case Verdict::Retry: return retry(run, refusalStage(step));
    case Verdict::Refused: fail(run.t, refusalStage(step)); return Go::Ended;
    case Verdict::Unexpected: break;
    }
    fail(run.t, STAGE_UNEXPECTED_REPLY);
    return Go::Ended;
}

// USER or PASS and its reply. A password is the user's own, whether from the URL or the list: the
// log shows it masked.
Go loginCommand(FtpRun& run, const std::string& line, FtpStep step, int& code) {
    Sleep(10);
    switch (sendLine(run.t, line, step == FtpStep::Password ? "PASS ****" : "")) {
    case NET_OK: break;
    case NET_ABORTED: finishAborted(run.t); return Go::Ended;
    case NET_TIMEOUT: postLogLine(run.t.item, "info>タイムアウト"); return retry(run, STAGE_LOGIN);
    default: fail(run.t, STAGE_LOGIN); return Go::Ended;
    }
    if (Go g = readBeforeLogin(run, step, code); g != Go::On) return g;
    return judgeBeforeLogin(run, step, code);
}

// One attempt: control connection, greeting and login.
Go attempt(FtpRun& run) {
    Transfer& t = run.t;
    UrlTarget parts = urlTarget(run.url);
    if (!parts.ok || hasControlCharacter(run.url)) {
        fail(t, STAGE_BAD_URL);
        return Go::Ended;
    }
    const FtpSettings& ftp = t.list.FTP;
    bool listLogin = !parts.hasUser && (!run.redirected || sameName(parts.host, run.ownHost));
    const char* broken = lineBreakingPart(parts);
    if (!broken && listLogin && (breaksLine(textOf(ftp.ninsyouUSER)) || breaksLine(textOf(ftp.ninsyouPASS))))
        broken = "FTPの認証設定";
    if (!linesStayWhole(t, broken)) return Go::Ended;
    run.path = parts.path;
    switch (connectHost(t, parts.host.c_str(), connectPort(parts, t.list.FTP.port))) {
    case ConnectResult::Connected: break;
    case ConnectResult::Retry: return retry(run, STAGE_CONNECT);
    case ConnectResult::Failed: fail(t, STAGE_CONNECT); return Go::Ended;
    case ConnectResult::Ended: return Go::Ended;
    }

    int code = 0;
    do {
        if (Go g = readBeforeLogin(run, FtpStep::Greeting, code); g != Go::On) return g;
    } while (judgeReply(FtpStep::Greeting, code) == Verdict::ReadNext);
    if (Go g = judgeBeforeLogin(run, FtpStep::Greeting, code); g != Go::On) return g;

    // A user in the URL comes with its own password (empty when it names none) in place of the list's;
    // a redirect to another host without one logs in anonymously.
    std::string_view userName = kAnonymousUser, password = kAnonymousPassword;
    if (parts.hasUser) {
        userName = parts.user;
        password = parts.password;
    } else if (listLogin) {
        userName = textOf(ftp.ninsyouUSER);
        password = textOf(ftp.ninsyouPASS);
    }
    if (Go g = loginCommand(run, "USER " + std::string(userName) + "\r\n", FtpStep::User, code); g != Go::On) return g;
    if (code == 230) return Go::On;  // logged in without a password
    return loginCommand(run, "PASS " + std::string(password) + "\r\n", FtpStep::Password, code);
}

bool logIn(FtpRun& run) {
    for (;;) {
        switch (attempt(run)) {
        case Go::On: return true;
        case Go::Ended: return false;
        case Go::Retry: break;
        }
        if (!retryStep(run.t, run.retryStage)) return false;
    }
}

// --- After the login every path ends in the logout. The functions below return false when the
// dialogue is over; a failure, stop or delete is then decided in run.t, while a time-out or a
// lost connection leaves the report to the logout. ---

bool replyRead(FtpRun& run, ReadLine read) {
    switch (read) {
    case ReadLine::Line: return true;
    case ReadLine::Aborted: finishAborted(run.t); return false;
    case ReadLine::TimedOut: postLogLine(run.t.item, "info>タイムアウト"); return false;
    case ReadLine::Closed: return false;
    case ReadLine::Overflow: fail(run.t, STAGE_BUFFER_OVERFLOW); return false;
    }
    return false;
}

bool readAfterLogin(FtpRun& run, int& code) { return replyRead(run, readReply(run, code)); }

bool sendCommand(FtpRun& run, std::string_view line, FailStage sendStage) {
    Sleep(10);
    switch (sendLine(run.t, line)) {
    case NET_OK: return true;
    case NET_ABORTED: finishAborted(run.t); return false;
    case NET_TIMEOUT: postLogLine(run.t.item, "info>タイムアウト"); return false;
    default: fail(run.t, sendStage); return false;
    }
}

// Sends one command and reads its reply; false when the dialogue is over.
bool exchange(FtpRun& run, std::string_view line, FailStage sendStage, int& code) {
    return sendCommand(run, line, sendStage) && readAfterLogin(run, code);
}

// Sends one command of `step` and reads its reply; true when the reply lets the step go on.
bool command(FtpRun& run, std::string_view line, FtpStep step, FailStage sendStage) {
    int code = 0;
    if (!exchange(run, line, sendStage, code)) return false;
    switch (judgeReply(step, code)) {
    case Verdict::GoOn: return true;
    case Verdict::ReadNext:
    case Verdict::Retry:
    case Verdict::Refused: fail(run.t, refusalStage(step)); return false;
    case Verdict::Unexpected: break;
    }
    fail(run.t, STAGE_UNEXPECTED_REPLY);
    return false;
}

// Asks SIZE or MDTM, which some servers never answer: `answer` gets the last line of the reply (any
// reply but 213 is no answer), and stays empty after silence for kFactWaitSeconds. A server answers
// in order, so after such a silence a NOOP tells where the reply ends: whatever comes before NOOP's
// own 2xx is the question's (a late 213 still answers it), and no later command takes it for its
// own reply.
bool askFact(FtpRun& run, const std::string& line, std::string& answer) {
    answer.clear();
    if (!sendCommand(run, line, STAGE_REQUEST)) return false;
    int32_t timeOut = run.t.list.timeOutTime;
    if (timeOut == 0 || timeOut > kFactWaitSeconds) run.t.list.timeOutTime = kFactWaitSeconds;
    int code = 0;
    ReadLine r = readReply(run, code);
    run.t.list.timeOutTime = timeOut;
    if (r != ReadLine::TimedOut) {
        answer.assign(lastLine(run));
        return replyRead(run, r);
    }
    postLogLine(run.t.item, "info>" + line.substr(0, 4) + "の応答なし");
    if (!exchange(run, "NOOP\r\n", STAGE_REQUEST, code)) return false;
    if (code / 100 != 2 || code == 213) {
        answer.assign(lastLine(run));
        if (!readAfterLogin(run, code)) return false;
    }
    if (code / 100 != 2 || code == 213) {
        fail(run.t, STAGE_UNEXPECTED_REPLY);
        return false;
    }
    return true;
}

// The file's size and version, asked in binary type only (in another type the bytes that arrive
// are not the file's). Servers whose 150 reply names no size answer SIZE. MDTM came with SIZE: a
// server that does not know the one is not asked the other.
bool askSizeAndVersion(FtpRun& run, ReplyNumber& size, std::string& version) {
    if (std::strcmp(typeCommand(run.type), "TYPE I\r\n") != 0) return true;
    std::string answer;
    if (!askFact(run, sizeLine(run.path), answer)) return false;
    size = sizeReplyValue(answer);
    if (!size.found) return true;
    if (!askFact(run, modifiedTimeLine(run.path), answer)) return false;
    version = ftpValidator(answer);
    return true;
}

bool connectData(FtpRun& run, const PeerAddress& address) {
    Sleep(10);
    // Unlike the control connection, the data connection is never retried: the server waits for
    // it only briefly, and a new attempt would need a new passive reply anyway.
    switch (connectPeer(run.data, address, nullptr)) {
    case ConnectResult::Connected: return true;
    case ConnectResult::Ended: finish(run.t, static_cast<SchedCommand>(run.data.outcome)); return false;
    case ConnectResult::Retry:
    case ConnectResult::Failed: break;
    }
    fail(run.t, STAGE_CONNECT);
    return false;
}

// The passive data connection: EPSV first, which names only a port on the control connection's
// own address (the one form IPv6 has), and PASV once the server refused EPSV.
bool openDataConnection(FtpRun& run) {
    if (!run.extendedRefused) {
        int code = 0;
        if (!exchange(run, "EPSV\r\n", STAGE_PASSIVE, code)) return false;
        switch (judgeReply(FtpStep::ExtendedPassive, code)) {
        case Verdict::GoOn: {
            uint16_t port = extendedPassivePort(lastLine(run));
            if (port == 0) {
                fail(run.t, STAGE_PASSIVE);
                return false;
            }
            return connectData(run, withPort(run.t.peer, port));
        }
        case Verdict::Refused: run.extendedRefused = true; break;
        default: fail(run.t, STAGE_UNEXPECTED_REPLY); return false;
        }
    }
    if (!command(run, "PASV\r\n", FtpStep::Passive, STAGE_PASSIVE)) return false;
    PassiveAddress passive = passiveAddress(lastLine(run));
    if (!passive.readable) {
        fail(run.t, STAGE_PASSIVE);
        return false;
    }
    return connectData(run, ipv4Peer(passive.address, passive.port));
}

bool saveFileSize(FtpRun& run, uint64_t& size) {
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(static_cast<HANDLE>(run.t.item.fileHandle), &bytes)) {
        fail(run.t, STAGE_FILE_SIZE);
        return false;
    }
    size = static_cast<uint64_t>(bytes.QuadPart);
    return true;
}

// Places the file pointer at the restart position and cuts off whatever the file holds past it, so
// that a server restarting below the file's end leaves exactly its own bytes in the file.
bool placeWritePosition(FtpRun& run, uint64_t position) {
    HANDLE file = static_cast<HANDLE>(run.t.item.fileHandle);
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) {
        fail(run.t, STAGE_FILE_SEEK);
        return false;
    }
    if (!SetEndOfFile(file)) {
        fail(run.t, STAGE_FILE_WRITE);
        return false;
    }
    return true;
}

// The data phase: everything until the server closes the data connection is written; the 226 reply
// that follows on the control connection alone decides success.
void receiveData(FtpRun& run) {
    Transfer& t = run.t;
    DownloadItem& item = t.item;
    size_t chunk = 0;
    char* buffer = beginDataPhase(t, chunk);
    if (!buffer) {
        fail(t, STAGE_BUFFER_OVERFLOW);
        return;
    }
    for (;;) {
        int count = 0;
        switch (receiveChunk(run.data, buffer, chunk, count)) {
        case NET_OK: break;
        case NET_ABORTED: finishAborted(t); return;
        default: postLogLine(item, "info>タイムアウト"); return;
        }
        if (count < 0) {
            fail(t, STAGE_DATA);
            return;
        }
        if (count == 0) break;
        // Fill the rest of the chunk with whatever has already arrived, so that each pause after a
        // write follows a whole chunk whenever the data is there, and writes are large.
        count += static_cast<int>(receiveReady(run.data, buffer + count, chunk - static_cast<size_t>(count)));
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(item.fileHandle), buffer, static_cast<DWORD>(count), &written, nullptr) ||
            written != static_cast<DWORD>(count)) {
            fail(t, STAGE_FILE_WRITE);
            return;
        }
        sharedWrite(item.fetchedSize, item.fetchedSize + static_cast<uint32_t>(count));
        uint32_t now = timeGetTime();
        if (now != item.startTick) item.speed = speedOf(item.fetchedSize, item.startSize, now - item.startTick);
        postProgress(item);
        pauseAfterChunk(t, static_cast<size_t>(count));
    }
    closeSocket(run.data);
    int code = 0;
    if (!readAfterLogin(run, code)) return;
    if (judgeReply(FtpStep::EndOfData, code) != Verdict::GoOn) {
        fail(t, STAGE_END_REPLY);
        return;
    }
    postProgress(item, true);
    run.succeeded = true;
}

// The logged-in dialogue, from the folder to the end of the data.
void dialogue(FtpRun& run) {
    Transfer& t = run.t;
    DownloadItem& item = t.item;
    std::string cwd = changeDirLine(run.path);
    if (!cwd.empty() && !command(run, cwd, FtpStep::ChangeDir, STAGE_CHANGE_DIR)) return;
    if (!command(run, typeCommand(run.type), FtpStep::Type, STAGE_TRANSFER_TYPE)) return;
    ReplyNumber sized;
    std::string version;
    if (!askSizeAndVersion(run, sized, version)) return;

    Sleep(10);
    if (!openDataConnection(run)) return;

    uint64_t fileSize = 0;
    if (!saveFileSize(run, fileSize)) return;
    if (fileSize != 0 && serverFileChanged(t.validator, sharedRead(item.totalSize), version, sized.value)) {
        postLogLine(item, kServerFileChanged);
        if (!placeWritePosition(run, 0)) return;
        fileSize = 0;
        noteValidator(t, {});
    }
    sharedWrite(item.fetchedSize, fileSize);
    view->updateFetched(item);
    if (!command(run, "REST " + std::to_string(fileSize) + "\r\n", FtpStep::Restart, STAGE_REQUEST)) return;
    ReplyNumber named = restartPosition(lastLine(run));
    uint64_t restart = named.found ? named.value : fileSize;
    if (restart > kMaxSize) {
        fail(t, STAGE_FILE_SIZE);
        return;
    }
    if (restart > fileSize) {
        // Writing there would leave a hole of zeros in a file later called complete: the server
        // did not take up the position it was given.
        fail(t, STAGE_TRANSFER_TYPE);
        return;
    }

    if (!command(run, retrieveLine(run.path), FtpStep::Retrieve, STAGE_REQUEST)) return;
    ReplyNumber size = announcedSize(lastLine(run));
    if (!size.found) size = sized;
    if (size.value > kMaxSize) {
        fail(t, STAGE_FILE_SIZE);
        return;
    }
    if (size.found && restart > size.value) {
        // The file holds more than the server's whole file: it is not that file, and calling it
        // complete would keep a tail that does not belong to it.
        fail(t, STAGE_FILE_SIZE);
        return;
    }
    Sleep(10);
    sharedWrite(item.totalSize, size.value);  // 0 = not announced
    sharedWrite(item.fetchedSize, restart);
    sharedWrite(item.startSize, restart);
    item.speed = 0;
    view->updateSize(item);
    view->updateProgress(item);
    if (!placeWritePosition(run, item.fetchedSize)) return;
    // Bytes written from the first one are of the version MDTM names; later ones keep the version
    // of those before them (or name it, when it was not known). Noted only once the file holds
    // nothing of another version.
    if (restart == 0 || !version.empty()) noteValidator(t, version);
    // Only an announced size can say the file is complete; without one the data is read until the
    // server closes it.
    if (size.found && item.fetchedSize >= item.totalSize) {
        postProgress(item, true);
        run.succeeded = true;
        return;
    }
    postLogLine(item, "info>取得中");
    item.startTick = timeGetTime();
    receiveData(run);
}

// Closes every logged-in dialogue, and reports a run that has no outcome yet.
void logout(FtpRun& run) {
    closeSocket(run.data);  // a server may hold its QUIT reply back while a transfer is still open
    Sleep(10);
    NetResult sent = sendLineAtExit(run.t, "QUIT\r\n");
    if (sent == NET_TIMEOUT) postLogLine(run.t.item, "info>タイムアウト");
    if (sent != NET_OK || currentRunState() == RUN_EXITING) {
        report(run, STAGE_LOGOUT);  // while the program exits, the reply is not waited for
        return;
    }
    int code = 0;
    switch (readReply(run, code, readLineAtExit)) {
    case ReadLine::Line: break;
    case ReadLine::Overflow: report(run, STAGE_BUFFER_OVERFLOW); return;
    case ReadLine::TimedOut: postLogLine(run.t.item, "info>タイムアウト"); [[fallthrough]];
    default: report(run, STAGE_LOGOUT); return;
    }
    if (judgeReply(FtpStep::Logout, code) != Verdict::GoOn || !run.succeeded) {
        report(run, STAGE_UNEXPECTED_REPLY);
        return;
    }
    // The success flag is only ever set while nothing was posted; a delete request that came
    // meanwhile still wins, or the item would wait for its deletion for ever.
    post(run, sharedRead(run.t.item.state) == DeleteRequested ? CMD_DELETE : CMD_SUCCEEDED);
    Sleep(10);
}

void endRun(FtpRun& run) {
    run.t.buffer.reset();
    run.t.freeBuffer.reset();
    closeSocket(run.data);
    closeSocket(run.t);
    postDecided(run);
    if (!run.posted) {
        run.t.item.failStage = STAGE_DATA;  // every path decides; this only keeps the one-outcome rule
        post(run, CMD_FAILED);
    }
}

}  // namespace

DWORD WINAPI ftpTransfer(LPVOID param) {
    DownloadItem& item = *static_cast<DownloadItem*>(param);
    FtpRun run(item, downloadLists[item.listIndex]);
    {
        ItemLockGuard lock;
        if (item.ftpRedirect == 1) {
            run.url = item.redirectUrl;
            item.ftpRedirect = 0;
            run.redirected = true;
            run.ownHost = urlTarget(item.url).host;
        } else {
            run.url = item.url;
        }
        copyTabSettings(run.t.list, run.t.source);
        run.t.validator = item.validator;
        run.type = run.t.list.FTP.type;  // passive mode is the only mode, so FTP.usePasv is not needed
        item.tryCount = 1;
        item.maxTry = run.t.list.maxTryNum;
        view->updateTries(item);
        run.t.buffSize = run.t.list.buffSize;
    }
    if (!allocateBuffer(run.t)) {
        fail(run.t, STAGE_BUFFER_OVERFLOW);  // no room for the recovery buffer
    } else if (logIn(run)) {
        copyTabSettings(run.data.list, run.t.list);  // the data connection's waits keep the try's time-out
        dialogue(run);
        postDecided(run);
        logout(run);
    }
    endRun(run);
    return 0;
}
