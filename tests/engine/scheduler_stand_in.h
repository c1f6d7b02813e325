// Stands in for the scheduler thread around one transfer thread: opens the save file the way the
// scheduler does, starts the routine on a real thread, forwards host lookups from a hidden window,
// and collects everything the thread posts until it has ended.
#pragma once
#include "lists/download_list.h"
#include "tests/unit/recording_view.h"
#include "tests/unit/temp_folder.h"
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

struct TransferRecord {
    std::vector<uint32_t> outcomes;
    std::vector<std::string> log;
    int progressPosts = 0;
    DWORD milliseconds = 0;
    uint32_t outcomeTime = 0;  // timeGetTime() when the first outcome arrived

    bool logged(const std::string& line) const;
    int countLines(const std::string& prefix) const;
};

class SchedulerStandIn {
  public:
    SchedulerStandIn();
    ~SchedulerStandIn();

    // The list in slot 0, with settings a test may change before it creates items.
    DownloadList& list() { return downloadLists[0]; }
    DownloadItem& createItem(const std::string& url);

    // Runs `routine` for `item` until the thread has ended; `watch` is called after every message
    // with the record so far (a test sets the item's state there to stop or delete it).
    TransferRecord run(DownloadItem& item, LPTHREAD_START_ROUTINE routine,
                       const std::function<void(DownloadItem&, const TransferRecord&)>& watch = {});

    RecordingView recorder;
    TempFolder temp;

  private:
};

// The servers started for the tests (see tests/servers/serve.py).
struct TestServers {
    int http = 0;
    int nginx = 0;
    int ftp = 0;        // the scripted FTP server
    int plainFtp = 0;   // the same with a greeting the system's internet client understands
    int realFtp = 0;    // a real FTP server, anonymous and read-only, serving ftpRoot
    int slowFtp = 0;    // the same, sending 4 KiB a second
    int realFtp6 = 0;   // the same on ::1
    bool ipv6 = false;  // nginx listens on ::1 too, and v6.quovar.test and dual.quovar.test resolve
    // nginx with TLS, one port per certificate (see serve.py), and the scripted server behind TLS.
    int https = 0;
    int httpsWrongName = 0;
    int httpsExpired = 0;
    int httpsUnknownCa = 0;
    int renegotiatingHttps = 0;  // asks for a new handshake half way through its body
    int scriptedHttps = 0;
    int proxy = 0;       // squid, open to every loopback client
    int loginProxy = 0;  // squid, demanding the Basic login quovar / proxy:pw
    std::string tlsCa;  // the test CA's DER certificate, as a Windows path
    std::string ftpRoot;
    std::string root;   // folder nginx serves, as a Windows path
    std::string state;  // the scripted server's folder, as a Windows path
    // A 256 KiB file system and a read-only one, as Windows paths with a trailing backslash; empty
    // where the machine does not let the test user mount them.
    std::string fullFolder;
    std::string readOnlyFolder;
};
const TestServers& testServers();

// Trusts the servers' test CA in this Wine prefix's current-user roots, as a user would install a
// company CA; the machine's own trust store is never touched. False when that fails.
bool trustTestCa();

// Byte i of every served test file.
inline unsigned char contentByte(uint32_t i) { return static_cast<unsigned char>(i * 31 + (i >> 8)); }
std::string contentBytes(uint32_t start, uint32_t end);

// A token no other test uses, for the scripted server's paths and request logs.
std::string uniqueToken(const char* name);

// The requests the scripted server received for `token`, in order.
std::vector<std::string> requestsFor(const std::string& token);
