// One listing of an FTP folder on a thread of its own, through the system's internet client. The
// dialog starts it, may ask it to stop, and hears of its end by WM_LISTING_ENDED.
#pragma once
#include <string>
#include <vector>
#include <windows.h>
#include <wininet.h>

// Posted to the dialog with how the listing ended: stopped (posted by the dialog itself after a
// stop request), failed (the failure text is set) or finished.
constexpr UINT WM_LISTING_ENDED = WM_USER + 1;
enum ListingEnd : WPARAM { kListingStopped = 0, kListingFailed = 1, kListingFinished = 2 };
// Posted to the dialog when rows wait in Listing::pending (one such message at a time).
constexpr UINT WM_LISTING_ROWS = WM_USER + 2;

struct ListedRow {
    std::string name;
    int icon;           // index in the shell's small-icon list
    DWORD attributes;   // FILE_ATTRIBUTE_DIRECTORY marks a folder
};

struct Listing {
    HWND dialog = nullptr;
    HWND rows = nullptr;         // the list view the entries go into
    std::string folderUrl;       // what is listed, ending with '/'; set before the thread starts
    std::string user, password;  // for the connection
    int port = 21;
    char systemFolder[MAX_PATH] = {};  // its icon is every folder's

    // The dialog's thread and the listing thread share these; see the functions below.
    CRITICAL_SECTION lock;
    bool run = false;            // a listing is wanted; the thread ends quietly once it is false
    // The thread's internet handles: the thread puts each here while a listing is wanted, and
    // whoever takes one out again (a stop, or the thread at its end) closes it, outside the lock.
    HINTERNET session = nullptr;  // the root handle
    HINTERNET connection = nullptr;
    HINTERNET find = nullptr;
    HANDLE thread = nullptr;
    std::string failure;         // written by the thread before it posts kListingFailed
    // Rows found and not yet shown, in listing order: the thread adds, the dialog takes them in
    // batches (one cross-thread message per batch, not per row, keeps a big folder quick).
    std::vector<ListedRow> pending;
    // The rows the list view shows, in its order (rows are only ever added at the end): the names
    // as the server gave them, which a trip through the list view's text could change. Dialog's
    // thread only.
    std::vector<ListedRow> shown;
};

// True while the listing thread exists and has not ended.
bool listingRuns(const Listing& listing);

// Starts the listing thread for `listing.folderUrl`; false when no thread could be made.
bool startListing(Listing& listing);

// Asks the thread to stop: it sees the flag between its steps, and its handles are closed, which
// makes a call of the internet client that waits for the server fail where the client allows it
// (Wine's does not: such a call ends when the server answers or falls silent for 30 s).
void stopListing(Listing& listing);

// The dialog's side: appends the rows that wait, in one go.
void showPendingRows(Listing& listing);
// Empties the rows for a new listing.
void clearRows(Listing& listing);
// The row at `row` as listed, or null where there is none.
const ListedRow* shownRow(const Listing& listing, int row);

// The column header of the rows shows the latest step or outcome.
void showListingStatus(HWND rows, const char* text);
