// One scenario of the hostile-server catalogue as the header of its .case file states it: how the
// list is set up, what the save file holds before the run, and what must be true after it. The
// connection scripts below the header belong to the replay server; here they are only counted.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct HostileCase {
    std::string name;      // the file name without ".case"
    std::string protocol;  // "http" or "ftp"

    // List settings for the run.
    int32_t timeOutTime = 3;
    uint32_t maxTryNum = 1;
    uint32_t buffSize = 4096;
    int32_t retryWaitTime = 0;
    int32_t connectionsPerItem = 1;
    int32_t speedLimit = 0;      // the stepped pace, as a new list has
    uint32_t useReferer = 0;     // the Referer mode; 0 keeps the list's default
    std::string basicUser, basicPassword;  // the list's Basic credentials, when a user is given
    std::string cookie;                    // the list's cookie, when one is given
    std::string userinfo;                  // "user:password" in the URL before the host
    std::string ftpPassword = "fetcher@";  // the list's FTP password
    bool followFtp = false;                // an HTTP run's redirect to FTP is followed by the FTP thread

    // The URL's path: after /<case>/<token> for HTTP, the whole path for FTP.
    std::string path = "/file.bin";

    bool present = false;     // the save file exists before the run ...
    std::string presentBytes; // ... with these bytes
    uint64_t rememberedTotal = 0;  // the item's total and validator before the run, as a restart
    std::string rememberedValidator;  // reads them back

    uint32_t outcome = 0;     // the one outcome command the thread must post
    int stage = -1;           // the failStage it must leave (0 when it must set none)

    std::string fileBytes;    // what the file must hold at the end

    double minSeconds = 0;    // the run lasts at least this long ...
    double maxSeconds = 0;    // ... and at most this long

    int tries = -1;           // the item's tryCount at the end; -1 = not checked
    int64_t total = -1;       // the item's totalSize at the end; -1 = not checked
    int connectionsAtLeast = 0;
    int connectionsAtMost = 0;  // -1 = no upper bound
    std::vector<std::string> logged;     // prefixes some log line must begin with (code page 932)
    std::vector<std::string> notLogged;  // prefixes no log line may begin with
    bool checkRedirect = false;
    std::string redirect;                // the item's redirectUrl at the end
    bool namedByHand = false;            // the item's name was typed into the edit dialog
    std::string saved;                   // the save file's name in the save folder at the end (code page
                                         // 932); empty = the URL's, not checked

    std::string stopAfterPrefix;  // once this many log lines begin with the prefix, ask for a stop
    int stopAfterCount = 0;
};

// Reads the header of a case file. False with `error` naming the line when it cannot be read.
bool parseHostileCase(const std::string& name, const std::string& text, HostileCase& c, std::string& error);

// The filler byte of "garbage" parts: not what the server sends at that place.
constexpr char kGarbageByte = 'Z';
