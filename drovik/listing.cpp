#include "drovik/listing.h"
#include "drovik/ftp_rules.h"
#include <commctrl.h>
#include <cstring>
#include <map>
#include <objbase.h>
#include <shellapi.h>
#include <utility>

namespace {

constexpr DWORD kSilenceLimit = 30000;  // ms

class Locked {
  public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Locked() { LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    CRITICAL_SECTION& lock_;
};

bool wanted(Listing& l) {
    Locked hold(l.lock);
    return l.run;
}

// The shell's small icon for an entry: every folder gets the system folder's, a file the one its
// name's type has (asked by name alone, no file is made for it; kept per type for a big folder).
class Icons {
  public:
    explicit Icons(const char* systemFolder) {
        SHFILEINFOA info{};
        SHGetFileInfoA(systemFolder, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        folder_ = info.iIcon;
    }
    int of(const char* name, DWORD attributes) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return folder_;
        const char* dot = strrchr(name, '.');
        std::string type = dot ? dot : "";
        auto known = byType_.find(type);
        if (known != byType_.end()) return known->second;
        SHFILEINFOA info{};
        SHGetFileInfoA(name, FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
        return byType_[type] = info.iIcon;
    }

  private:
    int folder_ = 0;
    std::map<std::string, int> byType_;
};

// Hands a row to the dialog; the first row of a batch tells it that rows wait.
void addRow(Listing& l, const char* name, int icon, DWORD attributes) {
    bool first;
    {
        Locked hold(l.lock);
        first = l.pending.empty();
        l.pending.push_back({name, icon, attributes});
    }
    if (first) PostMessageA(l.dialog, WM_LISTING_ROWS, 0, 0);
}

// Closes the handles the listing holds, child first. Closing can wait for the server (a connection
// says goodbye), so it is never done under the lock, which the listing thread asks between its steps.
void closeHandles(Listing& l) {
    HINTERNET handles[3];
    {
        Locked hold(l.lock);
        handles[0] = std::exchange(l.find, nullptr);
        handles[1] = std::exchange(l.connection, nullptr);
        handles[2] = std::exchange(l.session, nullptr);
    }
    for (HINTERNET handle : handles)
        if (handle) InternetCloseHandle(handle);
}

// Puts a handle the thread has just opened where a stop can close it; false when the stop came
// first (the handle is closed then).
bool keep(Listing& l, HINTERNET Listing::*slot, HINTERNET handle) {
    {
        Locked hold(l.lock);
        if (l.run) {
            l.*slot = handle;
            return true;
        }
    }
    if (handle) InternetCloseHandle(handle);
    return false;
}

// The steps of one listing. Returns the end to post, or kListingStopped when a stop was asked for
// (nothing is posted then: the dialog does it).
ListingEnd list(Listing& l) {
    auto failed = [&](const std::string& text) {
        l.failure = text + " 失敗";
        return wanted(l) ? kListingFailed : kListingStopped;
    };
    InternetAttemptConnect(0);
    if (!wanted(l)) return kListingStopped;
    HINTERNET session = InternetOpenA(">Quovar-Tool-Pellory", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!keep(l, &Listing::session, session)) return kListingStopped;
    if (!session) return failed(">InternetAPI 初期化");
    // A server that stops answering frees the thread after a while.
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        InternetSetOptionA(session, option, const_cast<DWORD*>(&kSilenceLimit), sizeof kSilenceLimit);

    FtpTarget target = ftpTargetOf(l.folderUrl, l.port, l.user, l.password);
    if (!target.ok) {
        showListingStatus(l.rows, ">ＵＲＬが不正です");
        return failed(">ＵＲＬが不正です");
    }
    if (target.port == kNoPort) {
        showListingStatus(l.rows, ">ポート番号が不正です");
        return failed(">ポート番号が不正です");
    }
    std::string step = ">接続 [" + target.host + "]";
    showListingStatus(l.rows, step.c_str());
    HINTERNET connection = InternetConnectA(session, target.host.c_str(), static_cast<INTERNET_PORT>(target.port),
                                            target.user.c_str(), target.password.c_str(), INTERNET_SERVICE_FTP,
                                            INTERNET_FLAG_PASSIVE, 0);
    if (!keep(l, &Listing::connection, connection)) return kListingStopped;
    if (!connection) return failed(step);

    Icons icons(l.systemFolder);
    if (target.path != "/") {
        step = ">ディレクトリ変更 [" + target.path + "]";
        showListingStatus(l.rows, step.c_str());
        if (!FtpSetCurrentDirectoryA(connection, target.path.c_str())) return wanted(l) ? failed(step) : kListingStopped;
        // The folders above are reached through a row of their own (servers seldom list "..").
        if (!wanted(l)) return kListingStopped;
        addRow(l, "..", icons.of("..", FILE_ATTRIBUTE_DIRECTORY), FILE_ATTRIBUTE_DIRECTORY);
    }

    showListingStatus(l.rows, ">ファイルリスト取得");
    WIN32_FIND_DATAA entry{};
    HINTERNET find = FtpFindFirstFileA(connection, "*.*", &entry, INTERNET_FLAG_RELOAD, 0);
    DWORD error = find ? ERROR_SUCCESS : GetLastError();
    if (!keep(l, &Listing::find, find)) return kListingStopped;
    if (!find) {
        if (error != ERROR_NO_MORE_FILES) return failed(">ファイルリスト取得");
        showListingStatus(l.rows, ">ファイルはありませんでした");
        return kListingFinished;
    }
    do {
        if (!wanted(l)) return kListingStopped;
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) continue;
        addRow(l, entry.cFileName, icons.of(entry.cFileName, entry.dwFileAttributes), entry.dwFileAttributes);
    } while (InternetFindNextFileA(find, &entry));
    return wanted(l) ? kListingFinished : kListingStopped;
}

DWORD WINAPI listingThread(void* parameter) {
    Listing& l = *static_cast<Listing*>(parameter);
    bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));  // the shell's icons need it
    ListingEnd end = list(l);
    closeHandles(l);
    if (end == kListingFailed) showListingStatus(l.rows, l.failure.c_str());
    if (end != kListingStopped) PostMessageA(l.dialog, WM_LISTING_ENDED, end, 0);
    if (com) CoUninitialize();
    return 0;
}

}  // namespace

bool startListing(Listing& listing) {
    {
        Locked hold(listing.lock);
        listing.run = true;
    }
    DWORD id = 0;
    listing.thread = CreateThread(nullptr, 0, listingThread, &listing, 0, &id);
    if (listing.thread) return true;
    Locked hold(listing.lock);
    listing.run = false;
    return false;
}

bool listingRuns(const Listing& listing) {
    return listing.thread && WaitForSingleObject(listing.thread, 0) == WAIT_TIMEOUT;
}

void stopListing(Listing& listing) {
    {
        Locked hold(listing.lock);
        listing.run = false;
    }
    closeHandles(listing);
}

void showPendingRows(Listing& listing) {
    std::vector<ListedRow> rows;
    {
        Locked hold(listing.lock);
        rows.swap(listing.pending);
    }
    if (rows.empty()) return;
    SendMessageA(listing.rows, WM_SETREDRAW, FALSE, 0);
    int at = static_cast<int>(listing.shown.size());
    listing.shown.insert(listing.shown.end(), rows.begin(), rows.end());
    for (const ListedRow& row : rows) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = at++;
        item.pszText = const_cast<char*>(row.name.c_str());
        item.iImage = row.icon;
        item.lParam = static_cast<LPARAM>(row.attributes);
        SendMessageA(listing.rows, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(listing.rows, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listing.rows, nullptr, FALSE);
}

void clearRows(Listing& listing) {
    SendMessageA(listing.rows, LVM_DELETEALLITEMS, 0, 0);
    listing.shown.clear();
    Locked hold(listing.lock);
    listing.pending.clear();  // rows of a stopped listing that never came in
}

const ListedRow* shownRow(const Listing& listing, int row) {
    return row >= 0 && static_cast<size_t>(row) < listing.shown.size() ? &listing.shown[static_cast<size_t>(row)] : nullptr;
}

void showListingStatus(HWND rows, const char* text) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<char*>(text);
    SendMessageA(rows, LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
}
