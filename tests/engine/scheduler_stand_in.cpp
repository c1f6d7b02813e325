#include "tests/engine/scheduler_stand_in.h"
#include "common/program_paths.h"
#include "common/text.h"
#include "common/folder_create.h"
#include "engine/server_name.h"
#include "engine/thread_links.h"
#include "engine/transfer_events.h"
#include "common/url_rules.h"
#include "lists/item_lock.h"
#include "lists/item_log.h"
#include "lists/items.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <winsock2.h>
#include <mmsystem.h>
#include <wincrypt.h>

namespace {

constexpr DWORD kRunLimitMs = 90000;

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

}  // namespace

bool TransferRecord::logged(const std::string& line) const {
    for (const std::string& l : log)
        if (l == line) return true;
    return false;
}

int TransferRecord::countLines(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : log)
        if (l.rfind(prefix, 0) == 0) ++n;
    return n;
}

SchedulerStandIn::SchedulerStandIn() {
    static bool started = false;
    if (!started) {
        WSADATA data;
        WSAStartup(0x0101, &data);
        initItemLock();
        started = true;
    }
    schedulerThreadId = GetCurrentThreadId();
    view = &recorder;
    usePathsIn(temp.path());
    for (DownloadList& l : downloadLists) l = DownloadList{};
    DownloadList& l = list();
    l.inUse = 1;
    copyText(l.tabName, "test");
    setDefaultSettings(l);
    l.retryWaitTime = 0;
    l.timeOutTime = 5;
    currentList = &l;
}

SchedulerStandIn::~SchedulerStandIn() {
    for (DownloadList& l : downloadLists) {
        for (DownloadItem* item = l.head; item; item = item->next)
            if (item->fileHandle) CloseHandle(static_cast<HANDLE>(item->fileHandle));
        freeAllItems(l);
        l = DownloadList{};
    }
    view = nullptr;
}

DownloadItem& SchedulerStandIn::createItem(const std::string& url) {
    DownloadItem* item = ::createItem(0, 0, url);
    return *item;
}

TransferRecord SchedulerStandIn::run(DownloadItem& item, LPTHREAD_START_ROUTINE routine,
                                     const std::function<void(DownloadItem&, const TransferRecord&)>& watch) {
    TransferRecord record;
    // Open the save file as the scheduler does: folders first, no truncation, hidden while fetched.
    std::string folder = folderOfPath(textOf(item.savePath));
    EXPECT_EQ(createFolderPath(folder.c_str()), 1);
    HANDLE file = openSaveFile(item.savePath, list().hidden == 1);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    item.fileHandle = file;
    item.state = Downloading;

    DWORD start = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, routine, &item, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    bool ended = false;
    while (!ended) {
        ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        MSG msg;
        bool any = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            if (msg.hwnd) {
                DispatchMessageA(&msg);
                continue;
            }
            switch (msg.message) {
            case SCHED_LOG_LINE: {
                char* text = reinterpret_cast<char*>(msg.wParam);
                record.log.push_back(text);
                delete[] text;
                break;
            }
            case SCHED_PROGRESS:
                // As the scheduler does: the next refresh may be asked for.
                __atomic_store_n(&reinterpret_cast<DownloadItem*>(msg.lParam)->progressPending, uint8_t{0},
                                 __ATOMIC_RELEASE);
                ++record.progressPosts;
                break;
            case SCHED_ITEM_COMMAND:
                if (record.outcomes.empty()) record.outcomeTime = timeGetTime();
                record.outcomes.push_back(static_cast<uint32_t>(msg.wParam));
                break;
            }
            if (watch) watch(item, record);
        }
        if (!any && !ended) MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT);
        if (GetTickCount() - start > kRunLimitMs) {
            ADD_FAILURE() << "the transfer thread did not end in time";
            TerminateThread(thread, 1);
            break;
        }
    }
    record.milliseconds = GetTickCount() - start;
    CloseHandle(thread);
    // The thread may have put another handle in place of the one opened here (a new name, the
    // part file moved over the save file), closing that one.
    if (item.fileHandle) CloseHandle(static_cast<HANDLE>(item.fileHandle));
    item.fileHandle = nullptr;
    return record;
}

const TestServers& testServers() {
    static TestServers servers = [] {
        TestServers s;
        const char* file = std::getenv("QUOVAR_SERVERS");
        if (!file) return s;
        std::string ini = windowsPath(file);
        s.http = GetPrivateProfileIntA("servers", "http", 0, ini.c_str());
        s.nginx = GetPrivateProfileIntA("servers", "nginx", 0, ini.c_str());
        s.ftp = GetPrivateProfileIntA("servers", "ftp", 0, ini.c_str());
        s.plainFtp = GetPrivateProfileIntA("servers", "plainftp", 0, ini.c_str());
        s.realFtp = GetPrivateProfileIntA("servers", "realftp", 0, ini.c_str());
        s.realFtp6 = GetPrivateProfileIntA("servers", "realftp6", 0, ini.c_str());
        s.ipv6 = GetPrivateProfileIntA("servers", "ipv6", 0, ini.c_str()) == 1;
        s.slowFtp = GetPrivateProfileIntA("servers", "slowftp", 0, ini.c_str());
        s.https = GetPrivateProfileIntA("servers", "https", 0, ini.c_str());
        s.httpsWrongName = GetPrivateProfileIntA("servers", "httpswrongname", 0, ini.c_str());
        s.httpsExpired = GetPrivateProfileIntA("servers", "httpsexpired", 0, ini.c_str());
        s.httpsUnknownCa = GetPrivateProfileIntA("servers", "httpsunknownca", 0, ini.c_str());
        s.renegotiatingHttps = GetPrivateProfileIntA("servers", "renegotiatinghttps", 0, ini.c_str());
        s.scriptedHttps = GetPrivateProfileIntA("servers", "scriptedhttps", 0, ini.c_str());
        s.proxy = GetPrivateProfileIntA("servers", "proxy", 0, ini.c_str());
        s.loginProxy = GetPrivateProfileIntA("servers", "loginproxy", 0, ini.c_str());
        char text[MAX_PATH];
        GetPrivateProfileStringA("servers", "tlsca", "", text, sizeof text, ini.c_str());
        s.tlsCa = windowsPath(text);
        GetPrivateProfileStringA("servers", "root", "", text, sizeof text, ini.c_str());
        s.root = windowsPath(text);
        GetPrivateProfileStringA("servers", "state", "", text, sizeof text, ini.c_str());
        s.state = windowsPath(text);
        GetPrivateProfileStringA("servers", "ftproot", "", text, sizeof text, ini.c_str());
        s.ftpRoot = windowsPath(text);
        GetPrivateProfileStringA("servers", "fullfolder", "", text, sizeof text, ini.c_str());
        if (text[0]) s.fullFolder = windowsPath(text) + "\\";
        GetPrivateProfileStringA("servers", "readonlyfolder", "", text, sizeof text, ini.c_str());
        if (text[0]) s.readOnlyFolder = windowsPath(text) + "\\";
        return s;
    }();
    return servers;
}

bool trustTestCa() {
    std::string der = readFile(testServers().tlsCa);
    if (der.empty()) return false;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
    if (!store) return false;
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                  nullptr);
    CertCloseStore(store, 0);
    return added != FALSE;
}

std::string contentBytes(uint32_t start, uint32_t end) {
    std::string bytes;
    bytes.reserve(end - start);
    for (uint32_t i = start; i < end; ++i) bytes += static_cast<char>(contentByte(i));
    return bytes;
}

std::string uniqueToken(const char* name) {
    static unsigned counter = 0;
    return std::string(name) + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "-" +
           std::to_string(GetTickCount());
}

std::vector<std::string> requestsFor(const std::string& token) {
    std::string all = readFile(testServers().state + "\\requests\\" + token + ".log");
    std::vector<std::string> requests;
    size_t start = 0;
    for (size_t end; (end = all.find("\r\n\r\n", start)) != std::string::npos; start = end + 4)
        requests.push_back(all.substr(start, end - start + 2));
    return requests;
}
