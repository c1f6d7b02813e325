#include "common/program_paths.h"
#include "common/text.h"
#include "engine/pace.h"
#include "lists/list_lifecycle.h"
#include "lists/tab_settings_file.h"
#include "tests/unit/fake_tabs.h"
#include "tests/unit/message_recorder.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct TabSettings : ::testing::Test {
    TempFolder temp;
    FakeTabs tabs;
    std::string folder;
    void SetUp() override {
        usePathsIn(temp.path());
        folder = temp.path() + "setting\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        for (DownloadList& l : downloadLists) l = DownloadList{};
    }
    void TearDown() override {
        releaseAllLists();
        for (DownloadList& l : downloadLists) l = DownloadList{};
    }
    std::string ini(const std::string& name, const std::string& body) {
        std::string path = folder + name + ".ini";
        writeFile(path, body);
        return path;
    }
};

TEST_F(TabSettings, NoSettingsFileGivesTheDefaultList) {
    MessageRecorder messages;
    loadAllLists(tabs);
    ASSERT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs.tabs[0].text, "default");
    EXPECT_EQ(tabs.tabs[0].slot, 0);
    const DownloadList& l = downloadLists[0];
    EXPECT_EQ(l.inUse, 1);
    EXPECT_EQ(std::string(l.settingsFilePath), folder + "default.ini");
    EXPECT_EQ(std::string(l.itemListFilePath), folder + "default.qvr");
    EXPECT_TRUE(fileExists(folder + "default.ini"));
    EXPECT_TRUE(fileExists(folder + "default.qvr"));
    EXPECT_EQ(std::string(l.saveFolderPath), temp.path() + "download\\");
    EXPECT_EQ(l.maxDownloadNum, 1);
    EXPECT_EQ(l.maxTryNum, 10u);
    EXPECT_EQ(l.buffSize, 4096u);
    EXPECT_EQ(l.HTTP.useReferer, 2063u);
    EXPECT_STREQ(l.FTP.ninsyouUSER, "anonymous");
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(TabSettings, MissingKeysLoadTheDefaults) {
    ini("bare", "[SETTING]\r\n");
    loadAllLists(tabs);
    const DownloadList& l = downloadLists[0];
    EXPECT_EQ(l.inUse, 1);
    EXPECT_STREQ(l.tabName, "");
    EXPECT_EQ(l.timeOutTime, 30);
    EXPECT_EQ(l.retryWaitTime, 5);
    EXPECT_EQ(l.hidden, 1u);
    EXPECT_EQ(l.speedLimit, kPaceStepped) << "a file of an older version keeps the stepped pace";
    EXPECT_EQ(l.connectionsPerItem, 1) << "and one connection an item";
    EXPECT_EQ(l.HTTP.port, 80u);
    EXPECT_EQ(l.FTP.port, 21u);
    EXPECT_EQ(l.FTP.type, 2060u);
    EXPECT_STREQ(l.FTP.ninsyouPASS, "fetcher@");
    EXPECT_EQ(std::string(l.itemListFilePath), folder + "bare.qvr");
    EXPECT_EQ(std::string(l.saveFolderPath), temp.path() + "download\\");
}

TEST_F(TabSettings, ReadLimitsAndTheDialogsRangesApply) {
    ini("odd", "[SETTING]\r\ntabName=表示ソフト\r\ntabNo=7\r\nmaxTryNum=100\r\nmaxDownloadNum=-1\r\n"
               "timeOutTime=123456789\r\nretryWaitTime=-1\r\nbuffSize=99999\r\nhidden=2\r\nsaveFolderPath=\r\n"
               "speedLimit=1000001\r\nconnectionsPerItem=100\r\n"
               "[FTP]\r\nusePasv=0\r\nninsyouUSER=\r\nninsyouPASS=\r\ntype=2063\r\n"
               "[http]\r\nREFERER=http://r/\r\nuseReferer=2059\r\nuseCookie=-1\r\nuseProxy=3\r\n");
    ini("edges", "[SETTING]\r\ntabNo=8\r\nmaxTryNum=50\r\nmaxDownloadNum=51\r\ntimeOutTime=3600\r\n"
                 "retryWaitTime=3601\r\nbuffSize=32767\r\nspeedLimit=-2\r\nconnectionsPerItem=0\r\n[HTTP]\r\nuseReferer=2064\r\n"
                 "useProxy=1\r\n[FTP]\r\ntype=2062\r\n");
    loadAllLists(tabs);
    const DownloadList& l = downloadLists[7];
    ASSERT_EQ(l.inUse, 1);
    EXPECT_EQ(downloadLists[0].inUse, 0);
    EXPECT_STREQ(l.tabName, "表示ソフト");
    EXPECT_EQ(l.maxTryNum, 10u);
    EXPECT_EQ(l.maxDownloadNum, 0);
    EXPECT_EQ(l.timeOutTime, 3600);
    EXPECT_EQ(l.retryWaitTime, 0);
    EXPECT_EQ(l.buffSize, 32767u);
    EXPECT_EQ(l.hidden, 0u);
    EXPECT_EQ(l.speedLimit, kMaxSpeedLimit);
    EXPECT_EQ(l.connectionsPerItem, kMaxConnectionsPerItem);
    EXPECT_EQ(l.HTTP.useCookie, 0u);
    EXPECT_EQ(l.HTTP.useReferer, 2063u);
    EXPECT_EQ(l.HTTP.useProxy, 0u) << "a mode of a later version connects directly";
    EXPECT_EQ(l.FTP.type, 2060u);
    const DownloadList& edges = downloadLists[8];
    EXPECT_EQ(edges.maxTryNum, 50u);
    EXPECT_EQ(edges.maxDownloadNum, 50);
    EXPECT_EQ(edges.timeOutTime, 3600);
    EXPECT_EQ(edges.retryWaitTime, 3600);
    EXPECT_EQ(edges.buffSize, 32767u);
    EXPECT_EQ(edges.speedLimit, kPaceFree);
    EXPECT_EQ(edges.connectionsPerItem, 1);
    EXPECT_EQ(edges.HTTP.useReferer, 2064u);
    EXPECT_EQ(edges.HTTP.useProxy, 1u);
    EXPECT_EQ(edges.FTP.type, 2062u);
    EXPECT_EQ(l.FTP.usePasv, 1);
    EXPECT_STREQ(l.FTP.ninsyouUSER, "anonymous");
    EXPECT_STREQ(l.FTP.ninsyouPASS, "fetcher@");
    EXPECT_STREQ(l.HTTP.referer, "http://r/") << "sections and keys match without regard to case";
    EXPECT_EQ(tabs.count(), 2);
}

TEST_F(TabSettings, TabsGoToTabNoOrTheEnd) {
    std::string p0 = ini("l0", "[SETTING]\r\ntabNo=0\r\n");
    std::string p1 = ini("l1", "[SETTING]\r\ntabNo=1\r\n");
    std::string p2 = ini("l2", "[SETTING]\r\ntabNo=2\r\n");
    for (const std::string& p : {p2, p0, p1}) loadOneList(tabs, p);
    EXPECT_EQ(tabs.slots(), (std::vector<int>{0, 1, 2}));
    releaseAllLists();
    for (DownloadList& l : downloadLists) l = DownloadList{};
    tabs.tabs.clear();
    for (const std::string& p : {p2, p1, p0}) loadOneList(tabs, p);
    EXPECT_EQ(tabs.slots(), (std::vector<int>{0, 2, 1}));
}

TEST_F(TabSettings, RepeatedOrOutOfRangeTabNoNeverOverwritesALoadedList) {
    std::string a = ini("a", "[SETTING]\r\ntabName=a\r\ntabNo=1\r\n");
    std::string b = ini("b", "[SETTING]\r\ntabName=b\r\ntabNo=1\r\n");
    std::string c = ini("c", "[SETTING]\r\ntabName=c\r\ntabNo=-5\r\n");
    std::string d = ini("d", "[SETTING]\r\ntabName=d\r\ntabNo=99\r\n");
    for (const std::string& p : {a, b, c, d}) EXPECT_TRUE(loadOneList(tabs, p));
    EXPECT_STREQ(downloadLists[1].tabName, "a");
    EXPECT_STREQ(downloadLists[0].tabName, "b");
    EXPECT_STREQ(downloadLists[2].tabName, "c");
    EXPECT_STREQ(downloadLists[3].tabName, "d");
    EXPECT_EQ(tabs.count(), 4);
}

TEST_F(TabSettings, AtMostTwentyListsAreLoaded) {
    for (int i = 0; i < 23; ++i) ini("list" + std::to_string(i), "[SETTING]\r\ntabNo=" + std::to_string(i) + "\r\n");
    loadAllLists(tabs);
    EXPECT_EQ(tabs.count(), 20);
    for (const DownloadList& l : downloadLists) EXPECT_EQ(l.inUse, 1);
}

TEST_F(TabSettings, SaveThenLoadGivesTheSameSettings) {
    loadAllLists(tabs);
    DownloadList& l = downloadLists[0];
    copyText(l.tabName, "default");
    copyText(l.saveFolderPath, "D:\\保存\\");
    l.maxDownloadNum = 3;
    l.maxTryNum = 50;
    l.subFolder = 1;
    l.timeOutTime = 3600;
    l.retryWaitTime = 0;
    l.buffSize = 32767;
    l.hidden = 0;
    l.speedLimit = 2000;
    l.connectionsPerItem = 7;
    l.HTTP.port = 8080;
    l.HTTP.useReferer = 2064;
    copyText(l.HTTP.referer, "http://ref/表");
    l.HTTP.useNinsyou = 1;
    copyText(l.HTTP.ninsyouUSER, "user");
    copyText(l.HTTP.ninsyouPASS, "pass");
    l.HTTP.useCookie = 1;
    copyText(l.HTTP.cookie, "a=1; b=2");
    l.HTTP.useProxy = 2;
    copyText(l.HTTP.proxy, "proxy.example:3128");
    copyText(l.HTTP.proxyUSER, "puser");
    copyText(l.HTTP.proxyPASS, " p pass ");
    l.FTP.type = 2061;
    l.FTP.port = 2121;
    copyText(l.FTP.ninsyouUSER, "ftpuser");
    copyText(l.FTP.ninsyouPASS, "ftppass");
    DownloadList saved = l;
    saveAllListSettings(tabs);

    for (DownloadList& x : downloadLists) x = DownloadList{};
    FakeTabs again;
    loadAllLists(again);
    const DownloadList& r = downloadLists[0];
    EXPECT_STREQ(r.saveFolderPath, saved.saveFolderPath);
    EXPECT_EQ(r.maxDownloadNum, 3);
    EXPECT_EQ(r.maxTryNum, 50u);
    EXPECT_EQ(r.subFolder, 1u);
    EXPECT_EQ(r.timeOutTime, 3600);
    EXPECT_EQ(r.retryWaitTime, 0);
    EXPECT_EQ(r.buffSize, 32767u);
    EXPECT_EQ(r.hidden, 0u);
    EXPECT_EQ(r.speedLimit, 2000);
    EXPECT_EQ(r.connectionsPerItem, 7);
    EXPECT_EQ(r.HTTP.port, 8080u);
    EXPECT_EQ(r.HTTP.useReferer, 2064u);
    EXPECT_STREQ(r.HTTP.referer, "http://ref/表");
    EXPECT_EQ(r.HTTP.useNinsyou, 1u);
    EXPECT_STREQ(r.HTTP.ninsyouUSER, "user");
    EXPECT_STREQ(r.HTTP.ninsyouPASS, "pass");
    EXPECT_EQ(r.HTTP.useCookie, 1u);
    EXPECT_STREQ(r.HTTP.cookie, "a=1; b=2");
    EXPECT_EQ(r.HTTP.useProxy, 2u);
    EXPECT_STREQ(r.HTTP.proxy, "proxy.example:3128");
    EXPECT_STREQ(r.HTTP.proxyUSER, "puser");
    EXPECT_STREQ(r.HTTP.proxyPASS, " p pass ");
    // Back to no proxy, the file is again as versions before proxies wrote it.
    std::string withProxy = readFile(folder + "default.ini");
    downloadLists[0].HTTP = saved.HTTP;
    downloadLists[0].HTTP.useProxy = 0;
    downloadLists[0].HTTP.proxy[0] = downloadLists[0].HTTP.proxyUSER[0] = downloadLists[0].HTTP.proxyPASS[0] = '\0';
    saveAllListSettings(again);
    std::string without = readFile(folder + "default.ini");
    EXPECT_NE(withProxy.find("\r\nproxyPASS=\" p pass \"\r\n"), std::string::npos) << withProxy;
    std::string expected;
    for (size_t start = 0, end; start < withProxy.size(); start = end + 2) {
        end = withProxy.find("\r\n", start);
        std::string line = withProxy.substr(start, end - start);
        if (line.find("roxy") == std::string::npos) expected += line + "\r\n";
    }
    EXPECT_EQ(without, expected);
    EXPECT_EQ(r.FTP.type, 2061u);
    EXPECT_EQ(r.FTP.port, 2121u);
    EXPECT_STREQ(r.FTP.ninsyouUSER, "ftpuser");
    EXPECT_STREQ(r.FTP.ninsyouPASS, "ftppass");
    EXPECT_FALSE(fileExists(folder + "default.ini.new"));
}

// The profile reader drops blanks and a pair of quotes around a value: texts that have them come
// back as they were typed, and plain ones are stored as they are.
TEST_F(TabSettings, TextsWithBlanksOrQuotesAroundThemReadBackExactly) {
    loadAllLists(tabs);
    DownloadList& l = downloadLists[0];
    struct Text {
        char* field;
        size_t size;
        std::string value;
    } texts[] = {
        {l.HTTP.ninsyouPASS, sizeof l.HTTP.ninsyouPASS, " pw "},
        {l.HTTP.ninsyouUSER, sizeof l.HTTP.ninsyouUSER, "\"quoted\""},
        {l.HTTP.referer, sizeof l.HTTP.referer, "'single'"},
        {l.HTTP.cookie, sizeof l.HTTP.cookie, "\ta=1; \""},
        {l.FTP.ninsyouPASS, sizeof l.FTP.ninsyouPASS, std::string(75, 'p') + " "},  // as long as the edit takes
        {l.FTP.ninsyouUSER, sizeof l.FTP.ninsyouUSER, "plain"},
    };
    for (const Text& t : texts) copyText(t.field, t.size, t.value);
    saveAllListSettings(tabs);
    std::string file = readFile(folder + "default.ini");
    EXPECT_NE(file.find("\r\nninsyouUSER=plain\r\n"), std::string::npos) << file;

    for (DownloadList& x : downloadLists) x = DownloadList{};
    FakeTabs again;
    loadAllLists(again);
    for (const Text& t : texts) EXPECT_EQ(std::string(t.field), t.value);
}

TEST_F(TabSettings, SaveNumbersTabsInStripOrderAndKeepsHandWrittenKeys) {
    ini("x", "[SETTING]\r\ntabName=x\r\ntabNo=0\r\n[MINE]\r\nnote=手書き\r\n");
    ini("y", "[SETTING]\r\ntabName=y\r\ntabNo=1\r\n");
    loadAllLists(tabs);
    std::swap(tabs.tabs[0], tabs.tabs[1]);  // the user's order is now y, x
    saveAllListSettings(tabs);
    EXPECT_EQ(GetPrivateProfileIntA("SETTING", "tabNo", -1, (folder + "y.ini").c_str()), 0);
    EXPECT_EQ(GetPrivateProfileIntA("SETTING", "tabNo", -1, (folder + "x.ini").c_str()), 1);
    EXPECT_EQ(GetPrivateProfileIntA("FTP", "usePasv", -1, (folder + "x.ini").c_str()), 1);
    char note[32];
    GetPrivateProfileStringA("MINE", "note", "", note, sizeof note, (folder + "x.ini").c_str());
    EXPECT_STREQ(note, "手書き");
}

TEST_F(TabSettings, FailedSaveLeavesThePreviousFileWhole) {
    std::string path = ini("keep", "[SETTING]\r\ntabName=keep\r\ntabNo=0\r\nmaxTryNum=7\r\n");
    loadAllLists(tabs);
    downloadLists[0].maxTryNum = 3;
    std::string before = readFile(path);
    CreateDirectoryA((path + ".new").c_str(), nullptr);  // the temporary file cannot be written
    EXPECT_FALSE(saveListSettings(downloadLists[0], 0));
    EXPECT_EQ(readFile(path), before);
    RemoveDirectoryA((path + ".new").c_str());
    EXPECT_TRUE(saveListSettings(downloadLists[0], 0));
    EXPECT_EQ(GetPrivateProfileIntA("SETTING", "maxTryNum", -1, path.c_str()), 3);
}

TEST_F(TabSettings, UncreatableSettingsFolderIsReported) {
    MessageRecorder messages;
    loadAllLists(tabs);
    copyText(programPaths.settingsFolder, "Q:\\missing\\setting\\");
    saveAllListSettings(tabs);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text,
              "設定保存フォルダ[ Q:\\missing\\setting\\ ] の作成に失敗\n手動でこのフォルダを作ってから\"ＯＫ\"を押してください");
    EXPECT_EQ(messages.messages()[0].caption, "報告");
    EXPECT_EQ(messages.messages()[0].flags, unsigned(MB_ICONWARNING | MB_TOPMOST | MB_TASKMODAL));
}

}  // namespace
