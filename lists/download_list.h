// The two records everything else works on: the download list (one per tab) and the download item
// (one URL to fetch), and the fixed table of 20 lists. Platform-free: handles are kept as opaque
// pointers so that the rules built on these records also build natively.
//
// Threads: the UI thread creates items and owns the records; the scheduler thread alone changes
// `state`, opens and closes save files and frees items; a transfer thread writes the progress fields
// of its own item. Each field says who writes it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using OpaqueHandle = void*;

constexpr int kListSlots = 20;
constexpr int kUrlSize = 1024;  // fixed text fields: save path and name, the list's Referer and cookie
constexpr int kFolderSize = 260;
constexpr int kCredentialSize = 77;
constexpr int kProxySize = 262;  // "host:port": a host name of 255 characters and a port
constexpr int kTabNameSize = 40;
constexpr int kMaxLogLines = 100;
constexpr size_t kMaxValidatorLength = 200;  // longer validators are not kept (engine/validator.h)
constexpr int kMaxConnectionsPerItem = 16;   // a list's connectionsPerItem (engine/range_plan.h)

enum ItemState : uint8_t {
    Idle = 0,               // not started, or stopped
    Queued = 1,             // waiting for a free slot of its list
    Downloading = 2,        // its transfer thread runs
    Finished = 3,           // fetched completely
    Failed = 4,             // the transfer gave up; failStage says where
    StopRequested = 5,      // stop asked for; the transfer thread is still winding down
    DeleteRequested = 6,    // deletion asked for; hidden from the view
    Starting = 7,           // the scheduler is opening the file and creating the thread
    StartNowRequested = 8,  // start-at-once asked for; CMD_START_NOW is on its way
    Deleting = 9,           // being removed; hidden from the view
    Redirecting = 10,       // restarting through the FTP transfer
};

// Which rule gave an item's save file its name; the log tells it when the item starts.
enum NameSource : uint8_t {
    NameFromUrl = 0,         // the registration rule, from the URL
    NameFromUrlNumbered,     // the same, numbered: another item had the name
    NameByHand,              // typed into the edit dialog: a server's name never replaces it
    NameStored,              // read back from the item-list file, named by some earlier rule
    NameFromServer,          // the server's Content-Disposition
    NameFromServerNumbered,  // the same, numbered
};

// The log's words for `source`, after "保存名 " and the name.
const char* nameSourceText(uint8_t source);

struct LogLine {
    char* text;  // separately allocated, zero-terminated
    LogLine* next;
};

struct DownloadItem {
    int32_t listIndex;  // slot of the owning list
    uint32_t viewState; // row marks last read from the list view (2 selected, 1 focused); selection sync
    uint8_t state;      // ItemState; scheduler thread (transfer threads only read it)
    int32_t tryCount;   // tries of the current run; transfer thread
    uint32_t maxTry;    // allowed tries, compared as signed; creation, reset, scheduler, transfer start
    // The URLs are held whole, up to kMaxUrlLength characters, on the heap: signed links run to
    // thousands of characters, and fixed arrays that wide would cost every item of 20 full lists.
    std::string url;               // UI thread: creation, and the edit dialog under the item lock while
                                   // no transfer thread runs; transfer threads copy it at start under it
                                   // (and may read it while they run: nothing writes it meanwhile)
    int32_t ftpRedirect;           // 1 = next start runs FTP on redirectUrl; scheduler sets, FTP transfer clears
    std::string redirectUrl;       // non-HTTP redirect target; HTTP transfer thread, before it posts
                                   // CMD_REDIRECT_FTP; the FTP transfer copies it at start under the item lock
    std::string validator;         // tells the version of the server's file whose first bytes the save
                                   // file holds (engine/validator.h), empty = none known; the item-list
                                   // reader, reset, and the transfer thread under the item lock
    char saveName[kUrlSize];       // file name shown in the first column: the last part of savePath
    uint8_t nameSource;            // NameSource; UI thread, or the transfer thread when the server
                                   // names the file (with savePath and saveName, see renameSaveFile)
    OpaqueHandle fileHandle;       // save file while a transfer runs; scheduler thread only
    char savePath[kUrlSize];       // full path of the save file; written under the save-path lock
                                   // (see items.h), as every item's path is read by the unique-path rule
    // The three sizes are 64 bits wide and read by other threads while a transfer runs: the
    // transfer thread writes them with sharedWrite, and the windows and saves read them with
    // sharedRead, so that a 32-bit build never shows or stores half of an old value.
    uint64_t totalSize;            // bytes in all, 0 = unknown; transfer thread
    uint64_t fetchedSize;          // bytes in the save file; transfer thread
    uint64_t startSize;            // bytes present when the data phase began; transfer thread
    uint32_t startTick;            // millisecond clock when the data phase began; transfer thread
    uint32_t speed;                // bytes per second of the data phase; transfer thread
    DownloadItem* next;            // chain of the list, in display order
    LogLine* logHead;              // the item log, at most kMaxLogLines lines; scheduler thread
    uint32_t threadId;             // transfer thread id; scheduler thread
    OpaqueHandle threadHandle;     // transfer thread, null when none; scheduler thread
    uint8_t failStage;             // failure stage; transfer thread
    uint8_t progressPending;       // a SCHED_PROGRESS for the item waits in the scheduler's queue;
                                   // set by the transfer thread, cleared by the scheduler
    uint32_t progressTick;         // when the transfer thread last asked for a refresh
    uint8_t waitingOutcome;        // outcome command + 1 whose handling waits for the end of the
                                   // transfer thread, 0 = none; scheduler thread
};

struct FtpSettings {
    uint32_t type;  // radio id: 2060 IMAGE, 2061 ASCII, 2062 EBCDIC
    int32_t usePasv;
    char ninsyouUSER[kCredentialSize];
    char ninsyouPASS[kCredentialSize];
    uint32_t port;
};

struct HttpSettings {
    uint32_t useReferer;  // radio id 2060..2064 (see refererLine)
    char referer[kUrlSize];
    uint32_t useNinsyou;
    char ninsyouUSER[kCredentialSize];
    char ninsyouPASS[kCredentialSize];
    uint32_t port;
    uint32_t useCookie;
    char cookie[kUrlSize];
    uint32_t useProxy;                 // ProxyMode (common/proxy_rules.h); FTP items never use one
    char proxy[kProxySize];            // the list's own proxy, "host:port"
    char proxyUSER[kCredentialSize];   // Basic login of whichever proxy the list uses
    char proxyPASS[kCredentialSize];
};

// Settings fields are replaced only by the dialogs on the UI thread; the runtime fields below them
// are the scheduler's once it runs.
struct DownloadList {
    int32_t inUse;
    char tabName[kTabNameSize];
    int32_t busyMark;  // 1 = tab shows the busy image; scheduler thread
    FtpSettings FTP;
    HttpSettings HTTP;
    int32_t timeOutTime;     // seconds, 0 = no limit
    int32_t retryWaitTime;   // seconds
    uint32_t buffSize;       // bytes of each transfer thread's working buffer
    uint32_t subFolder;      // 1 = reproduce the URL's host and folders under the save folder
    uint32_t maxTryNum;
    int32_t maxDownloadNum;
    char saveFolderPath[kFolderSize];
    uint32_t hidden;         // 1 = save files are hidden while they download
    int32_t speedLimit;      // pace of the data: kPaceStepped, kPaceFree or at most N KB/s (lists/speed_limit.h)
    int32_t connectionsPerItem;  // 1..kMaxConnectionsPerItem; 1 = each item over one connection
    int32_t topIndex;        // first visible row, kept by the selection sync
    DownloadItem* logItem;   // item shown in the log pane, null = none
    int32_t runningCount;    // items owning a transfer thread; scheduler thread
    char settingsFilePath[kFolderSize];
    char itemListFilePath[kFolderSize];
    DownloadItem* head;      // first item of the chain
};

// Reading and writing the fields that two threads share (state, fetchedSize): single aligned
// values, read by one thread while the other writes them.
template <typename T> T sharedRead(const T& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
template <typename T> void sharedWrite(T& field, T value) { __atomic_store_n(&field, value, __ATOMIC_RELEASE); }

// The list table: slot i holds a list when downloadLists[i].inUse is 1.
extern DownloadList downloadLists[kListSlots];

// The list of the selected tab; set by the list switch routine.
extern DownloadList* currentList;

// Gives `list` the default tab settings and empty runtime fields; name and paths are left alone.
void setDefaultSettings(DownloadList& list);

// The tab settings of `from` (everything the settings pages edit) copied into `to`; name, paths and
// runtime fields stay. Done under the item lock while transfers run: they take their copy so.
void copyTabSettings(DownloadList& to, const DownloadList& from);

// Empties the runtime fields: no log item, top row 0, nothing running, empty chain, idle tab image.
void resetRuntimeFields(DownloadList& list);

// The folder a new item of `list` is saved in: the list's save folder (set to the default download
// folder when empty) plus, with subFolder 1, the URL's host and folders. Every part taken from the
// URL is made a plain folder name, so the result never leaves the save folder.
std::string saveFolderFor(DownloadList& list, std::string_view url);
