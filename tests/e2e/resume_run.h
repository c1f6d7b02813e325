// The resume integrity run: the real program downloads files over HTTP and FTP from servers that cut
// every file off 1 to 5 times at random offsets, while the run stops and starts items and kills the
// program and starts it again. Every file must end byte-identical to its source.
#pragma once
#include <string>
#include <vector>

struct ResumeRun {
    int downloads = 10;          // every second one over FTP
    int kills = 1;               // times the program is killed (after a save) and started again
    unsigned largest = 300000;   // sizes are drawn from 20000 up to this
    unsigned seed = 1;
    unsigned limitSeconds = 120; // the run gives up after this long
};

struct ResumeResult {
    int identical = 0;     // files on disk equal to their source
    int finished = 0;      // rows that ended in the finished state
    // Files that were complete when the program came back from a kill before it had saved them as
    // finished: the server refuses the resume at the end of the file (416), which the program
    // reports as a failure while the file stays whole.
    int refusedComplete = 0;
    int connections = 0;   // requests the servers answered, drops included
    int stops = 0;         // running items stopped (and started again in the next round)
    int restarts = 0;      // starts of stopped or failed items
    int kills = 0;
    double seconds = 0;
    std::vector<std::string> problems;  // a line per file that is not identical, or why the run stopped
};

// Runs in `folder` (the program's own folder, created fresh) against the scripted servers.
ResumeResult runResumeIntegrity(const std::string& folder, const ResumeRun& run);
