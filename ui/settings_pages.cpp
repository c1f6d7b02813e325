#include "ui/settings_pages.h"
#include "common/numbers.h"
#include "common/text.h"
#include "engine/pace.h"
#include "resources/resource.h"
#include "ui/folder_browser.h"
#include <algorithm>
#include <commctrl.h>

const char* const kSettingsPageTitles[kSettingsPageCount] = {" 全般  ", " HTTP0 ", " HTTP1 ", "  FTP  "};

namespace {

constexpr int kPageTemplates[kSettingsPageCount] = {IDD_SETTINGS_GENERAL, IDD_SETTINGS_HTTP0, IDD_SETTINGS_HTTP1,
                                                    IDD_SETTINGS_FTP};
constexpr int kNumberDigits = 5;
constexpr uint32_t kPortMaximum = 65535;

// ---- reading and writing controls ----

template <size_t N> void showText(HWND page, int id, const char (&text)[N]) {
    SetDlgItemTextA(page, id, text);
    SendDlgItemMessageA(page, id, EM_LIMITTEXT, N - 1, 0);
}

template <size_t N> void takeText(HWND page, int id, char (&text)[N]) { GetDlgItemTextA(page, id, text, N); }

void showNumber(HWND page, int id, uint32_t value) {
    SendDlgItemMessageA(page, id, EM_LIMITTEXT, kNumberDigits, 0);
    SetDlgItemInt(page, id, value, FALSE);
}

// The number of an edit, 0 for no digits, brought into [minimum, maximum].
uint32_t takeNumber(HWND page, int id, uint32_t maximum, uint32_t minimum = 0) {
    char text[16] = {};
    GetDlgItemTextA(page, id, text, sizeof text);
    return static_cast<uint32_t>(std::clamp<int64_t>(readInt(text), minimum, maximum));
}

void showSwitch(HWND page, int id, uint32_t value) { CheckDlgButton(page, id, value == 1 ? BST_CHECKED : BST_UNCHECKED); }
uint32_t takeSwitch(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0; }

// Radio buttons whose ids are the values of a mode: the one of `value` is selected, none when the
// value is no id of the group.
void showMode(HWND page, int first, int last, uint32_t value) {
    for (int id = first; id <= last; ++id) showSwitch(page, id, static_cast<uint32_t>(id) == value ? 1 : 0);
}
uint32_t takeMode(HWND page, int first, int last, uint32_t unchanged) {
    for (int id = first; id <= last; ++id)
        if (takeSwitch(page, id)) return static_cast<uint32_t>(id);
    return unchanged;
}

void enable(HWND page, std::initializer_list<int> ids, bool on) {
    for (int id : ids) EnableWindow(GetDlgItem(page, id), on);
}

// ---- the pages ----

struct NumberField {
    int edit;
    int spin;
    uint32_t maximum;
    uint32_t minimum = 0;
};
constexpr NumberField kTries{IDC_GENERAL_TRIES, IDC_GENERAL_TRIES_SPIN, 50};
constexpr NumberField kRetryWait{IDC_GENERAL_RETRY_WAIT, IDC_GENERAL_RETRY_WAIT_SPIN, 3600};
constexpr NumberField kTimeOut{IDC_GENERAL_TIME_OUT, IDC_GENERAL_TIME_OUT_SPIN, 3600};
constexpr NumberField kDownloads{IDC_GENERAL_DOWNLOADS, IDC_GENERAL_DOWNLOADS_SPIN, 50};
constexpr NumberField kBuffer{IDC_GENERAL_BUFFER, IDC_GENERAL_BUFFER_SPIN, 32767};
constexpr NumberField kConnections{IDC_GENERAL_CONNECTIONS, IDC_GENERAL_CONNECTIONS_SPIN, kMaxConnectionsPerItem, 1};

void showCounted(HWND page, const NumberField& field, uint32_t value) {
    CreateUpDownControl(WS_CHILD | WS_BORDER | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS, 0, 0,
                        0, 0, page, field.spin, GetModuleHandleA(nullptr), GetDlgItem(page, field.edit),
                        static_cast<int>(field.maximum), static_cast<int>(field.minimum), 0);
    showNumber(page, field.edit, value);
}

// The pace: one of three buttons, the limit typed beside the last one and used only with it.
void enablePace(HWND page) { enable(page, {IDC_GENERAL_SPEED_LIMIT}, takeSwitch(page, IDC_GENERAL_PACE_LIMIT)); }

void showPace(HWND page, int32_t limit) {
    int chosen = limit == kPaceStepped ? IDC_GENERAL_PACE_STEPPED : limit < 0 ? IDC_GENERAL_PACE_FREE : IDC_GENERAL_PACE_LIMIT;
    showMode(page, IDC_GENERAL_PACE_STEPPED, IDC_GENERAL_PACE_LIMIT, static_cast<uint32_t>(chosen));
    SendDlgItemMessageA(page, IDC_GENERAL_SPEED_LIMIT, EM_LIMITTEXT, 7, 0);
    SetDlgItemInt(page, IDC_GENERAL_SPEED_LIMIT, limit > 0 ? static_cast<uint32_t>(limit) : 1000, FALSE);
    enablePace(page);
}

int32_t takePace(HWND page) {
    if (takeSwitch(page, IDC_GENERAL_PACE_FREE)) return kPaceFree;
    if (!takeSwitch(page, IDC_GENERAL_PACE_LIMIT)) return kPaceStepped;
    return static_cast<int32_t>(std::max<uint32_t>(takeNumber(page, IDC_GENERAL_SPEED_LIMIT, kMaxSpeedLimit), 1));
}

void showGeneral(HWND page, const DownloadList& r) {
    showText(page, IDC_GENERAL_FOLDER, r.saveFolderPath);
    showSwitch(page, IDC_GENERAL_SUB_FOLDER, r.subFolder);
    showSwitch(page, IDC_GENERAL_HIDDEN, r.hidden);
    showCounted(page, kTries, r.maxTryNum);
    showCounted(page, kRetryWait, static_cast<uint32_t>(r.retryWaitTime));
    showCounted(page, kTimeOut, static_cast<uint32_t>(r.timeOutTime));
    showCounted(page, kDownloads, static_cast<uint32_t>(r.maxDownloadNum));
    showCounted(page, kBuffer, r.buffSize);
    showPace(page, r.speedLimit);
    showCounted(page, kConnections, static_cast<uint32_t>(r.connectionsPerItem));
}

void takeGeneral(HWND page, DownloadList& r) {
    char typed[kFolderSize];
    takeText(page, IDC_GENERAL_FOLDER, typed);
    copyText(r.saveFolderPath, typedSaveFolder(typed));
    r.maxTryNum = takeNumber(page, kTries.edit, kTries.maximum);
    r.maxDownloadNum = static_cast<int32_t>(takeNumber(page, kDownloads.edit, kDownloads.maximum));
    r.buffSize = takeNumber(page, kBuffer.edit, kBuffer.maximum);
    r.timeOutTime = static_cast<int32_t>(takeNumber(page, kTimeOut.edit, kTimeOut.maximum));
    r.retryWaitTime = static_cast<int32_t>(takeNumber(page, kRetryWait.edit, kRetryWait.maximum));
    r.subFolder = takeSwitch(page, IDC_GENERAL_SUB_FOLDER);
    r.hidden = takeSwitch(page, IDC_GENERAL_HIDDEN);
    r.speedLimit = takePace(page);
    r.connectionsPerItem = static_cast<int32_t>(takeNumber(page, kConnections.edit, kConnections.maximum, kConnections.minimum));
}

void enableHttp0(HWND page) {
    enable(page, {IDC_HTTP_REFERER}, takeSwitch(page, IDC_HTTP_REFERER_CUSTOM));
    enable(page, {IDC_HTTP_USER_LABEL, IDC_HTTP_PASSWORD_LABEL, IDC_HTTP_USER, IDC_HTTP_PASSWORD},
           takeSwitch(page, IDC_HTTP_USE_AUTH));
}

void showHttp0(HWND page, const DownloadList& r) {
    showMode(page, IDC_HTTP_REFERER_NONE, IDC_HTTP_REFERER_CUSTOM, r.HTTP.useReferer);
    showText(page, IDC_HTTP_REFERER, r.HTTP.referer);
    showNumber(page, IDC_HTTP_PORT, r.HTTP.port);
    showSwitch(page, IDC_HTTP_USE_AUTH, r.HTTP.useNinsyou);
    showText(page, IDC_HTTP_USER, r.HTTP.ninsyouUSER);
    showText(page, IDC_HTTP_PASSWORD, r.HTTP.ninsyouPASS);
    enableHttp0(page);
}

void takeHttp0(HWND page, DownloadList& r) {
    r.HTTP.useReferer = takeMode(page, IDC_HTTP_REFERER_NONE, IDC_HTTP_REFERER_CUSTOM, r.HTTP.useReferer);
    takeText(page, IDC_HTTP_REFERER, r.HTTP.referer);  // kept while another mode is chosen
    r.HTTP.port = takeNumber(page, IDC_HTTP_PORT, kPortMaximum);
    r.HTTP.useNinsyou = takeSwitch(page, IDC_HTTP_USE_AUTH);
    takeText(page, IDC_HTTP_USER, r.HTTP.ninsyouUSER);
    takeText(page, IDC_HTTP_PASSWORD, r.HTTP.ninsyouPASS);
}

// The proxy's address is typed for the list's own proxy only; the login serves the system's too.
void enableHttp1(HWND page) {
    enable(page, {IDC_HTTP_COOKIE}, takeSwitch(page, IDC_HTTP_USE_COOKIE));
    enable(page, {IDC_HTTP_PROXY}, takeSwitch(page, IDC_HTTP_PROXY_LIST));
    enable(page,
           {IDC_HTTP_PROXY_LOGIN_LABEL, IDC_HTTP_PROXY_USER_LABEL, IDC_HTTP_PROXY_PASSWORD_LABEL, IDC_HTTP_PROXY_USER,
            IDC_HTTP_PROXY_PASSWORD},
           !takeSwitch(page, IDC_HTTP_PROXY_NONE));
}

void showHttp1(HWND page, const DownloadList& r) {
    showSwitch(page, IDC_HTTP_USE_COOKIE, r.HTTP.useCookie);
    showText(page, IDC_HTTP_COOKIE, r.HTTP.cookie);
    showMode(page, IDC_HTTP_PROXY_NONE, IDC_HTTP_PROXY_LIST, IDC_HTTP_PROXY_NONE + r.HTTP.useProxy);
    showText(page, IDC_HTTP_PROXY, r.HTTP.proxy);
    showText(page, IDC_HTTP_PROXY_USER, r.HTTP.proxyUSER);
    showText(page, IDC_HTTP_PROXY_PASSWORD, r.HTTP.proxyPASS);
    enableHttp1(page);
}

void takeHttp1(HWND page, DownloadList& r) {
    takeText(page, IDC_HTTP_COOKIE, r.HTTP.cookie);
    r.HTTP.useCookie = takeSwitch(page, IDC_HTTP_USE_COOKIE);
    r.HTTP.useProxy =
        takeMode(page, IDC_HTTP_PROXY_NONE, IDC_HTTP_PROXY_LIST, IDC_HTTP_PROXY_NONE + r.HTTP.useProxy) - IDC_HTTP_PROXY_NONE;
    takeText(page, IDC_HTTP_PROXY, r.HTTP.proxy);  // kept while another mode is chosen
    takeText(page, IDC_HTTP_PROXY_USER, r.HTTP.proxyUSER);
    takeText(page, IDC_HTTP_PROXY_PASSWORD, r.HTTP.proxyPASS);
}

void showFtp(HWND page, const DownloadList& r) {
    showMode(page, IDC_FTP_TYPE_IMAGE, IDC_FTP_TYPE_EBCDIC, r.FTP.type);
    showSwitch(page, IDC_FTP_PASSIVE, static_cast<uint32_t>(r.FTP.usePasv));  // always disabled: the only mode
    showNumber(page, IDC_FTP_PORT, r.FTP.port);
    showText(page, IDC_FTP_USER, r.FTP.ninsyouUSER);
    showText(page, IDC_FTP_PASSWORD, r.FTP.ninsyouPASS);
}

void takeFtp(HWND page, DownloadList& r) {
    r.FTP.type = takeMode(page, IDC_FTP_TYPE_IMAGE, IDC_FTP_TYPE_EBCDIC, r.FTP.type);
    r.FTP.usePasv = static_cast<int32_t>(takeSwitch(page, IDC_FTP_PASSIVE));
    r.FTP.port = takeNumber(page, IDC_FTP_PORT, kPortMaximum);
    takeText(page, IDC_FTP_USER, r.FTP.ninsyouUSER);
    takeText(page, IDC_FTP_PASSWORD, r.FTP.ninsyouPASS);
}

using Filler = void (*)(HWND, const DownloadList&);
using Taker = void (*)(HWND, DownloadList&);
constexpr Filler kShow[kSettingsPageCount] = {showGeneral, showHttp0, showHttp1, showFtp};
constexpr Taker kTake[kSettingsPageCount] = {takeGeneral, takeHttp0, takeHttp1, takeFtp};

void onCommand(HWND page, const SettingsPage& p, int id) {
    if (p.index == 0 && id == IDC_GENERAL_BROWSE) {
        browseIntoEdit(GetDlgItem(page, IDC_GENERAL_FOLDER));
    } else if (p.index == 0) {
        enablePace(page);
    } else if (p.index == 1) {
        enableHttp0(page);
    } else if (p.index == 2) {
        enableHttp1(page);
    }
}

INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* p = reinterpret_cast<const SettingsPage*>(GetWindowLongPtrA(page, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        p = reinterpret_cast<const SettingsPage*>(lParam);
        SetWindowLongPtrA(page, DWLP_USER, lParam);
        kShow[p->index](page, *p->record);
        return TRUE;
    case WM_COMMAND:
        if (p && HIWORD(wParam) == BN_CLICKED) onCommand(page, *p, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        if (p) kTake[p->index](page, *p->record);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

HWND createSettingsPage(HWND tabs, const SettingsPage& settingsPage) {
    HWND page = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPageTemplates[settingsPage.index]),
                                   tabs, pageProc, reinterpret_cast<LPARAM>(&settingsPage));
    if (!page) return nullptr;
    RECT area{};
    GetClientRect(tabs, &area);
    TabCtrl_AdjustRect(tabs, FALSE, &area);
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_SHOWWINDOW);
    return page;
}
