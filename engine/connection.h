// The socket plumbing of the transfer threads: host lookup, connecting without blocking, waits
// that watch the item for a stop or delete request, lines sent and received, the retry step and
// the log lines of all of it.
#pragma once
#include "engine/host_lookup.h"
#include "engine/pace.h"
#include "engine/transfer_events.h"
#include "lists/download_list.h"
#include <memory>
#include <mutex>
#include <string_view>

class TlsChannel;

enum NetResult : uint8_t { NET_OK = 0, NET_ABORTED = 32, NET_ERROR = 64, NET_TIMEOUT = 128 };

// A limit that the connections of one item keep together: what one of them does not take, the
// others may.
struct SharedPace {
    std::mutex lock;
    Pace pace;
};

// The network state of one transfer thread, kept across its attempts.
struct Transfer {
    Transfer(DownloadItem& item, DownloadList& list);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    DownloadItem& item;
    DownloadList& source;  // the item's list, whose settings the dialogs change under the item lock
    // The list's settings for the current try, copied from `source` under the item lock at the try's
    // start (takeTrySettings); its runtime fields are unused.
    DownloadList list{};
    SOCKET sock = INVALID_SOCKET;
    std::unique_ptr<TlsChannel> tls;  // the attempt's TLS session once startTls set it up; closed with the socket
    std::unique_ptr<char[]> buffer;  // buffSize + 1 bytes at least: reply lines, and the data of the stepped pace
    uint32_t buffSize = 0;
    std::unique_ptr<char[]> freeBuffer;  // kFreeChunkSize bytes: the data of the other paces
    Pace pace;                           // of the data phase under way
    SharedPace* sharedPace = nullptr;    // the item's, in place of `pace`, for a range connection under a limit
    PeerAddress peer;                    // where the socket is connected to
    std::string validator;  // the item's (engine/validator.h) as this run knows it: copied at its start

    // False for a range connection: the item's log keeps 100 lines, and the send> and recv> lines of
    // many connections would push out all the rest.
    bool logTraffic = true;
    // The 10 ms pauses between a request's steps (before and after connecting, before the reply):
    // a range connection goes without them, as its item's first connection has taken them.
    bool stepPauses = true;
    // Without the pauses the reply's head is taken in at once up to its end (headBytes), not a byte
    // per receive: these are its bytes not yet read, and the last two before them.
    std::string headAhead;
    size_t headAheadAt = 0;
    std::string headBefore;

    bool ended = false;          // an outcome was decided
    uint32_t outcome = CMD_FAILED;
};

// Starting and stopping the socket library (UI thread); the log pane shows the result.
bool startWinSock();
void stopWinSock();

// Hands a copy of `text` (cut at kLogLineLength) to the scheduler as the item's next log line.
void postLogLine(DownloadItem& item, std::string_view text);
// Asks the scheduler to refresh the item's progress cells: at most every 100 ms while data flows
// (`last` for the refresh that shows the final counters), and never twice while one is waiting.
void postProgress(DownloadItem& item, bool last = false);

// Posts the run's outcome command for `item`. It must arrive: while the scheduler's queue is full,
// the post is tried again.
void postOutcome(DownloadItem& item, uint32_t command);

bool isAbortState(uint8_t state);

// The run now writes bytes of the version of the server's file that `validator` names: the run's
// copy and the item's, which the next save keeps, take it.
void noteValidator(Transfer& t, const std::string& validator);

// Ends the run with `command`; for CMD_FAILED use fail().
void finish(Transfer& t, SchedCommand command);
void fail(Transfer& t, FailStage stage);
// Ends the run as the abort state of the item asks (CMD_STOPPED or CMD_DELETE).
void finishAborted(Transfer& t);

// True when `part` is null. Otherwise it names a text that would break our command or header lines
// (a CR, LF or NUL in it): the run fails at STAGE_BAD_URL, before anything is sent, and the log
// says which text it was.
bool linesStayWhole(Transfer& t, const char* part);

// Allocates the transfer buffer of buffSize + 1 bytes; false when memory runs out.
bool allocateBuffer(Transfer& t);

// Begins a data phase at the try's pace: the buffer its chunks go to and the most one receive
// takes (`chunk`). Null when memory runs out.
char* beginDataPhase(Transfer& t, size_t& chunk);

// The pace's wait after a chunk of `bytes`. A long wait under a low limit ends early when a stop or
// delete comes, which the next receive then sees.
void pauseAfterChunk(Transfer& t, size_t bytes);

void closeSocket(Transfer& t);

enum class ConnectResult { Connected, Retry, Failed, Ended };

// Looks `host` up for both address families (a numeric address at once) and connects to its
// addresses in the order the system gives them: the next one is tried when one fails, and also
// beside it when it stays silent for a poll tick; the first to answer is kept, and the try's
// time-out counts for them all. On Failed the caller fails with STAGE_CONNECT; on Retry it takes
// the retry step. Ended: the run ended (lookup failed, no socket, or a stop or delete was seen).
ConnectResult connectHost(Transfer& t, const char* host, uint16_t port);

// Connects to one known address (a data connection): `hostText` is logged with it unless null.
ConnectResult connectPeer(Transfer& t, const PeerAddress& address, const char* hostText);

// Copies the list's settings for the try that begins (takes the item lock).
void takeTrySettings(Transfer& t);

// The retry step: counts the try, closes the socket, waits the retry wait and takes the next try's
// settings. False when the run ended instead: no tries remain (failed with `stage`), or a stop,
// delete or the program's exit came during the wait.
bool retryStep(Transfer& t, FailStage stage);

enum class TlsStart {
    Ready,               // every later send and receive goes through the session
    Aborted,             // a stop or delete was seen
    TimedOut,            // the server stayed silent for the time-out
    Closed,              // the connection ended during the handshake: worth another try
    HandshakeFailed,     // STAGE_TLS_HANDSHAKE
    CertificateRefused,  // STAGE_CERTIFICATE
};

// Sets up TLS on the connected socket and checks the server's certificate for `host`, with the
// waits, budget and abort checks of every other send and receive, logging what it did.
TlsStart startTls(Transfer& t, const char* host);

NetResult waitReadable(Transfer& t);
// Sends one line and logs it, or logs `shown` in its place (a line that holds a secret).
NetResult sendLine(Transfer& t, std::string_view line, std::string_view shown = {});

// The logout variants: no abort states, and cut short while the program exits.
NetResult waitReadableAtExit(Transfer& t);
NetResult sendLineAtExit(Transfer& t, std::string_view line);

enum class ReadLine { Line, Aborted, TimedOut, Closed, Overflow };

// Puts received bytes together into one reply line in the transfer buffer: LF ends the line, a CR
// is dropped (the byte after it joins the line unless it is the LF), and the line holds at most
// buffSize characters (a Location line a whole URL).
struct LineAssembler {
    enum Step { More, Complete, Overflow };
    size_t length = 0;
    bool afterCr = false;
    Step add(Transfer& t, char c);
};

// Reads one line (CR LF, or LF) into the transfer buffer, at most buffSize characters; `length` is
// its length. The line is not logged.
ReadLine readReplyLine(Transfer& t, size_t& length);

// Receives up to `size` bytes, waiting while none are there. `count` is 0 when the peer closed and
// -1 on a receive error; NET_OK otherwise. Through TLS the close is the server's close_notify, and a
// connection that ends without one is a receive error: the data may have been cut off.
NetResult receiveChunk(Transfer& t, char* dst, size_t size, int& count);

// Up to `size` more bytes that have already arrived, without waiting; 0 when none have.
size_t receiveReady(Transfer& t, char* dst, size_t size);

// Ends the thread's run: frees the buffer, closes the socket, posts the outcome.
void endTransfer(Transfer& t);
