#include "lists/download_list.h"
#include "common/program_paths.h"
#include "common/save_name.h"
#include "common/text.h"
#include "common/url_rules.h"
#include "lists/speed_limit.h"

DownloadList downloadLists[kListSlots];
DownloadList* currentList = &downloadLists[0];

void setDefaultSettings(DownloadList& list) {
    list.FTP.type = 2060;
    list.FTP.usePasv = 1;
    copyText(list.FTP.ninsyouUSER, "anonymous");
    copyText(list.FTP.ninsyouPASS, "fetcher@");
    list.FTP.port = 21;
    list.HTTP.useReferer = 2063;
    list.HTTP.referer[0] = '\0';
    list.HTTP.useNinsyou = 0;
    list.HTTP.ninsyouUSER[0] = '\0';
    list.HTTP.ninsyouPASS[0] = '\0';
    list.HTTP.port = 80;
    list.HTTP.useCookie = 0;
    list.HTTP.cookie[0] = '\0';
    list.HTTP.useProxy = 0;
    list.HTTP.proxy[0] = '\0';
    list.HTTP.proxyUSER[0] = '\0';
    list.HTTP.proxyPASS[0] = '\0';
    list.timeOutTime = 30;
    list.retryWaitTime = 5;
    list.buffSize = 4096;
    list.subFolder = 0;
    list.maxTryNum = 10;
    list.maxDownloadNum = 1;
    copyText(list.saveFolderPath, textOf(programPaths.downloadFolder));
    list.hidden = 1;
    list.speedLimit = kPaceStepped;
    list.connectionsPerItem = 1;
    resetRuntimeFields(list);
}

void resetRuntimeFields(DownloadList& list) {
    list.busyMark = 0;
    list.logItem = nullptr;
    list.topIndex = 0;
    list.runningCount = 0;
    list.head = nullptr;
}

std::string saveFolderFor(DownloadList& list, std::string_view url) {
    if (list.saveFolderPath[0] == '\0') copyText(list.saveFolderPath, textOf(programPaths.downloadFolder));
    std::string folder(textOf(list.saveFolderPath));
    // A query or fragment may hold '/' of its own: the folders are the path's alone.
    if (list.subFolder == 1) folder += urlFolderPart(url.substr(0, pathEnd(url)));
    return folder;
}

const char* nameSourceText(uint8_t source) {
    switch (source) {
    case NameFromUrl: return "(URLから)";
    case NameFromUrlNumbered: return "(URLから、同名のアイテムがあるため番号付き)";
    case NameByHand: return "(手動で設定)";
    case NameStored: return "(保存したリストのまま)";
    case NameFromServer: return "(サーバーの指定 Content-Disposition)";
    case NameFromServerNumbered: return "(サーバーの指定 Content-Disposition、同名のアイテムがあるため番号付き)";
    default: return "";
    }
}

void copyTabSettings(DownloadList& to, const DownloadList& from) {
    to.FTP = from.FTP;
    to.HTTP = from.HTTP;
    to.timeOutTime = from.timeOutTime;
    to.retryWaitTime = from.retryWaitTime;
    to.buffSize = from.buffSize;
    to.subFolder = from.subFolder;
    to.maxTryNum = from.maxTryNum;
    to.maxDownloadNum = from.maxDownloadNum;
    copyText(to.saveFolderPath, textOf(from.saveFolderPath));
    to.hidden = from.hidden;
    to.speedLimit = from.speedLimit;
    to.connectionsPerItem = from.connectionsPerItem;
}
