// Drovik's one dialog: the URL and connection fields, the start/stop button and the rows.
#pragma once
#include "drovik/listing.h"
#include <string>

struct DrovikState {
    int x = 100, y = 100;  // where the dialog opens
    Listing listing;
    std::string copyBase;  // what copied URLs begin with: the listed folder's URL, with its port
    bool closeAfterStop = false;
    DWORD closeAsked = 0;  // GetTickCount() of the close request
    // While the listing thread is still on its way out after it reported its end (or after a
    // stop), a timer looks at it; the end it will be shown with.
    bool awaitingEnd = false;
    ListingEnd end = kListingStopped;
};

// Runs the dialog until the user closes it. A close during a listing waits for the listing thread
// to end, but no longer than a few seconds: a thread held in a call of the internet client is
// left to the end of the process.
void runListingDialog(DrovikState& state);
