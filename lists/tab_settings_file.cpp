#include "lists/tab_settings_file.h"
#include "common/message_box.h"
#include "common/numbers.h"
#include "common/proxy_rules.h"
#include "common/program_paths.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "common/folder_create.h"
#include "lists/speed_limit.h"
#include "lists/profile_file.h"
#include <algorithm>
#include <string>
#include <windows.h>

namespace {

void readText(const char* path, const char* section, const char* key, const char* fallback, int limit, char* dst,
              size_t size) {
    copyText(dst, size, readProfileText(path, section, key, fallback, limit));
}

template <size_t N>
void readText(const char* path, const char* section, const char* key, const char* fallback, int limit,
              char (&dst)[N]) {
    readText(path, section, key, fallback, limit, dst, N);
}

// A slot for a file that claims `tabNo`: that slot when it is a valid, free one; otherwise the first
// free slot, so that a hand-edited or copied file never overwrites a list already loaded.
int slotFor(int tabNo) {
    if (tabNo >= 0 && tabNo < kListSlots && !downloadLists[tabNo].inUse) return tabNo;
    for (int slot = 0; slot < kListSlots; ++slot)
        if (!downloadLists[slot].inUse) return slot;
    return -1;
}

// A number of the settings file, brought into the range the settings dialog allows: a hand-edited
// file must not make a retry sleep for weeks or every wait time out at once.
int32_t readInRange(const char* path, const char* section, const char* key, const char* fallback, int limit,
                    int32_t lowest, int32_t highest) {
    return std::clamp(readProfileInt(path, section, key, fallback, limit), lowest, highest);
}

// A switch of the settings file: 1 is on, anything else off (as every reader of it already takes it).
uint32_t readSwitch(const char* path, const char* section, const char* key, const char* fallback, int limit) {
    return readProfileInt(path, section, key, fallback, limit) == 1 ? 1 : 0;
}

// A mode stored as the id of its radio button; an id that is none of them gives the default.
uint32_t readMode(const char* path, const char* section, const char* key, const char* fallback, uint32_t first,
                  uint32_t last) {
    int32_t id = readProfileInt(path, section, key, fallback, 7);
    return id >= static_cast<int32_t>(first) && id <= static_cast<int32_t>(last) ? static_cast<uint32_t>(id)
                                                                                  : readInt(fallback);
}

// The proxy's keys, only where the list has a proxy setting: a list that never had one keeps the
// file as versions before proxies wrote it, byte for byte.
bool writeProxyKeys(const char* f, const HttpSettings& http) {
    constexpr const char* kKeys[] = {"useProxy", "proxy", "proxyUSER", "proxyPASS"};
    if (http.useProxy == PROXY_NONE && !http.proxy[0] && !http.proxyUSER[0] && !http.proxyPASS[0]) {
        for (const char* key : kKeys)
            if (!removeProfileKey(f, "HTTP", key)) return false;
        return true;
    }
    return writeProfileInt(f, "HTTP", kKeys[0], static_cast<int32_t>(http.useProxy)) &&
           writeProfileText(f, "HTTP", kKeys[1], http.proxy) && writeProfileText(f, "HTTP", kKeys[2], http.proxyUSER) &&
           writeProfileText(f, "HTTP", kKeys[3], http.proxyPASS);
}

}  // namespace

void loadListSettings(DownloadList& list, const char* path) {
    readText(path, "SETTING", "tabName", "", 39, list.tabName);
    readText(path, "SETTING", "saveFolderPath", "", 259, list.saveFolderPath);
    if (list.saveFolderPath[0] == '\0') copyText(list.saveFolderPath, textOf(programPaths.downloadFolder));

    copyText(list.itemListFilePath, textOf(list.settingsFilePath));
    size_t len = textOf(list.itemListFilePath).size();
    if (len >= 3) copyText(list.itemListFilePath + len - 3, sizeof list.itemListFilePath - (len - 3), "qvr");

    list.maxDownloadNum = readInRange(path, "SETTING", "maxDownloadNum", "1", 2, 0, 50);
    list.maxTryNum = readInRange(path, "SETTING", "maxTryNum", "10", 2, 0, 50);
    list.subFolder = readSwitch(path, "SETTING", "subFolder", "0", 2);
    resetRuntimeFields(list);

    list.timeOutTime = readInRange(path, "SETTING", "timeOutTime", "30", 7, 0, 3600);
    list.retryWaitTime = readInRange(path, "SETTING", "retryWaitTime", "5", 7, 0, 3600);
    list.buffSize = readInRange(path, "SETTING", "buffSize", "4096", 7, 0, 32767);
    list.hidden = readSwitch(path, "SETTING", "hidden", "1", 7);
    // Newer than the other keys: a file without it keeps the stepped pace every list had before.
    list.speedLimit = readInRange(path, "SETTING", "speedLimit", "0", 8, kPaceFree, kMaxSpeedLimit);
    // Newer still: without it every item goes over one connection, as before.
    list.connectionsPerItem = readInRange(path, "SETTING", "connectionsPerItem", "1", 7, 1, kMaxConnectionsPerItem);

    list.HTTP.port = readProfileInt(path, "HTTP", "port", "80", 7);
    list.HTTP.useReferer = readMode(path, "HTTP", "useReferer", "2063", 2060, 2064);
    readText(path, "HTTP", "referer", "", 1023, list.HTTP.referer);
    list.HTTP.useNinsyou = readSwitch(path, "HTTP", "useNinsyou", "0", 7);
    readText(path, "HTTP", "ninsyouUSER", "", 76, list.HTTP.ninsyouUSER);
    readText(path, "HTTP", "ninsyouPASS", "", 76, list.HTTP.ninsyouPASS);
    list.HTTP.useCookie = readSwitch(path, "HTTP", "useCookie", "0", 7);
    readText(path, "HTTP", "cookie", "", 1023, list.HTTP.cookie);
    // Newer than the other keys: a file without them connects directly, as every list did before.
    list.HTTP.useProxy = readMode(path, "HTTP", "useProxy", "0", PROXY_NONE, PROXY_LIST);
    readText(path, "HTTP", "proxy", "", kProxySize - 1, list.HTTP.proxy);
    readText(path, "HTTP", "proxyUSER", "", 76, list.HTTP.proxyUSER);
    readText(path, "HTTP", "proxyPASS", "", 76, list.HTTP.proxyPASS);

    list.FTP.type = readMode(path, "FTP", "type", "2060", 2060, 2062);
    list.FTP.port = readProfileInt(path, "FTP", "port", "21", 7);
    list.FTP.usePasv = 1;  // passive mode is the only mode
    readText(path, "FTP", "ninsyouUSER", "anonymous", 76, list.FTP.ninsyouUSER);
    if (list.FTP.ninsyouUSER[0] == '\0') copyText(list.FTP.ninsyouUSER, "anonymous");
    readText(path, "FTP", "ninsyouPASS", "fetcher@", 76, list.FTP.ninsyouPASS);
    if (list.FTP.ninsyouPASS[0] == '\0') copyText(list.FTP.ninsyouPASS, "fetcher@");
}

bool loadOneList(TabStrip& tabs, const std::string& path) {
    int tabNo = readProfileInt(path.c_str(), "SETTING", "tabNo", "", 2);
    int slot = slotFor(tabNo);
    if (slot < 0) return false;
    DownloadList& list = downloadLists[slot];
    list = DownloadList{};
    copyText(list.settingsFilePath, path);
    list.inUse = 1;
    loadListSettings(list, path.c_str());
    int position = (tabNo >= 0 && tabNo < kListSlots) ? tabNo : tabs.count();
    currentTabIndex = tabs.insert(position, list.tabName, 0, slot);
    return true;
}

void ensureSettingsFolder() {
    if (createFolderPath(programPaths.settingsFolder)) return;
    std::string text = std::string("設定保存フォルダ[ ") + programPaths.settingsFolder +
                       " ] の作成に失敗\n手動でこのフォルダを作ってから\"ＯＫ\"を押してください";
    showMessage(text.c_str(), kCaptionReport, noticeWarning());
}

bool saveListSettings(const DownloadList& list, int tabNo) {
    return rewriteProfile(list.settingsFilePath, [&](const char* f) {
        return writeProfileText(f, "SETTING", "tabName", list.tabName) &&
               writeProfileInt(f, "SETTING", "tabNo", tabNo) &&
               writeProfileText(f, "SETTING", "saveFolderPath", list.saveFolderPath) &&
               writeProfileInt(f, "SETTING", "maxDownloadNum", list.maxDownloadNum) &&
               writeProfileInt(f, "SETTING", "maxTryNum", list.maxTryNum) &&
               writeProfileInt(f, "SETTING", "subFolder", list.subFolder) &&
               writeProfileInt(f, "SETTING", "timeOutTime", list.timeOutTime) &&
               writeProfileInt(f, "SETTING", "retryWaitTime", list.retryWaitTime) &&
               writeProfileInt(f, "SETTING", "buffSize", list.buffSize) &&
               writeProfileInt(f, "SETTING", "hidden", list.hidden) &&
               writeProfileInt(f, "SETTING", "speedLimit", list.speedLimit) &&
               writeProfileInt(f, "SETTING", "connectionsPerItem", list.connectionsPerItem) &&
               writeProfileInt(f, "HTTP", "port", list.HTTP.port) &&
               writeProfileInt(f, "HTTP", "useReferer", list.HTTP.useReferer) &&
               writeProfileText(f, "HTTP", "referer", list.HTTP.referer) &&
               writeProfileInt(f, "HTTP", "useNinsyou", list.HTTP.useNinsyou) &&
               writeProfileText(f, "HTTP", "ninsyouUSER", list.HTTP.ninsyouUSER) &&
               writeProfileText(f, "HTTP", "ninsyouPASS", list.HTTP.ninsyouPASS) &&
               writeProfileInt(f, "HTTP", "useCookie", list.HTTP.useCookie) &&
               writeProfileText(f, "HTTP", "cookie", list.HTTP.cookie) &&
               writeProxyKeys(f, list.HTTP) &&
               writeProfileInt(f, "FTP", "type", list.FTP.type) && writeProfileInt(f, "FTP", "port", list.FTP.port) &&
               writeProfileInt(f, "FTP", "usePasv", list.FTP.usePasv) &&
               writeProfileText(f, "FTP", "ninsyouUSER", list.FTP.ninsyouUSER) &&
               writeProfileText(f, "FTP", "ninsyouPASS", list.FTP.ninsyouPASS);
    });
}

void saveAllListSettings(TabStrip& tabs) {
    ensureSettingsFolder();
    int written = 0;
    for (int position = 0; position < tabs.count(); ++position) {
        int slot = tabs.slotAt(position);
        if (slot < 0 || slot >= kListSlots || !downloadLists[slot].inUse) continue;
        saveListSettings(downloadLists[slot], written++);
    }
}
