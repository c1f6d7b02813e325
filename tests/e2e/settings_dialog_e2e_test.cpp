// The download settings dialog of the real program, filled in as a user would: what "更新" stores,
// what the next downloads do with it, and what a refused name and "キャンセル" leave behind.
#include "tests/e2e/program_test.h"
#include "common/url_rules.h"
#include <algorithm>
#include <commctrl.h>

namespace {

namespace ctl {
enum : int {
    NAME = 2010, PAGES = 2040, FOLDER = 2012, BROWSE = 2020, SUB_FOLDER = 2051, TRIES = 2013, DOWNLOADS = 2014,
    BUFFER = 2015, TIME_OUT = 2016, RETRY_WAIT = 2017, PACE_LIMIT = 2055, SPEED_LIMIT = 2019, CONNECTIONS = 2022,  // general page
    REFERER_CUSTOM = 2064, REFERER = 2015, USE_AUTH = 2051, USER = 2017, PASSWORD = 2018,  // HTTP0 page
    PROXY_SYSTEM = 2081, PROXY_LIST = 2082, PROXY = 2012, PROXY_USER = 2017, PROXY_PASSWORD = 2018,  // HTTP1 page
};
}  // namespace ctl

BOOL CALLBACK findOwned(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<HWND*>(param);
    if (GetWindow(window, GW_OWNER) != *found || !IsWindowVisible(window)) return TRUE;
    *found = window;
    return FALSE;
}

// A visible window that `owner` owns (a box or dialog it opened), or null.
HWND ownedWindow(HWND owner) {
    HWND found = owner;
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), findOwned, reinterpret_cast<LPARAM>(&found));
    return found == owner ? nullptr : found;
}

BOOL CALLBACK collectTexts(HWND child, LPARAM param) {
    *reinterpret_cast<std::string*>(param) += controlText(child) + "\n";
    return TRUE;
}

// The texts of every control of `window`, a line each.
std::string windowTexts(HWND window) {
    std::string texts;
    EnumChildWindows(window, collectTexts, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

struct SettingsDialog : ProgramTest {
    ProgramDialog dialog;
    bool open(const QuovarProcess& q) {
        q.command(400);
        return dialog.find(q, "ダウンロード設定");
    }
    HWND at(int id) const { return dialog.at(id); }
    void type(int id, const std::string& text) const { dialog.type(id, text); }
    void showPage(const QuovarProcess& q, int page, const char* picture) {
        q.clickTabOf(at(ctl::PAGES), page);
        dialog.picture(picture);
    }
};

TEST_F(SettingsDialog, UpdateRenamesTheListAndTheNextDownloadsFollowTheNewSettings) {
    const TestServers& servers = testServers();
    presetDefaultList(servers.http);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(open(q)) << q.describeWindows();

    EXPECT_EQ(dialog.text(ctl::FOLDER), folder + "download\\");
    type(ctl::FOLDER, " ");  // stands for the download folder, never for wherever the current folder is
    q.clickTabOf(at(ctl::PAGES), 3);
    q.clickTabOf(at(ctl::PAGES), 0);
    EXPECT_EQ(dialog.text(ctl::FOLDER), folder + "download\\");
    type(ctl::FOLDER, folder + "other");
    clickButton(at(ctl::SUB_FOLDER));
    for (auto [id, typed] : {std::pair<int, const char*>{ctl::TRIES, "99"}, {ctl::DOWNLOADS, "2"}, {ctl::BUFFER, "40000"}, {ctl::TIME_OUT, "5000"},
                             {ctl::RETRY_WAIT, "0"}, {ctl::CONNECTIONS, "99"}})
        type(id, typed);
    EXPECT_FALSE(IsWindowEnabled(at(ctl::SPEED_LIMIT)));
    clickButton(at(ctl::PACE_LIMIT));
    EXPECT_TRUE(IsWindowEnabled(at(ctl::SPEED_LIMIT))) << "the limit is typed only when it is chosen";
    type(ctl::SPEED_LIMIT, "9999999");
    showPage(q, 1, "settings-http0");
    EXPECT_FALSE(IsWindowEnabled(at(ctl::REFERER)));
    clickButton(at(ctl::REFERER_CUSTOM));
    EXPECT_TRUE(IsWindowEnabled(at(ctl::REFERER))) << "the custom Referer is typed only when it is chosen";
    type(ctl::REFERER, "http://referer.test/page");
    clickButton(at(ctl::USE_AUTH));
    type(ctl::USER, "user");
    type(ctl::PASSWORD, "secret");
    q.clickTabOf(at(ctl::PAGES), 2);
    EXPECT_FALSE(IsWindowEnabled(at(ctl::PROXY)) || IsWindowEnabled(at(ctl::PROXY_USER))) << "no proxy by default";
    clickButton(at(ctl::PROXY_LIST));
    type(ctl::PROXY, "proxy.invalid:8080");
    type(ctl::PROXY_USER, "puser");
    type(ctl::PROXY_PASSWORD, "ppass");
    // The system's proxy has no address here, but the list's login serves it too. (This prefix
    // names no proxy: the downloads below still go directly.)
    clickButton(at(ctl::PROXY_SYSTEM));
    EXPECT_FALSE(IsWindowEnabled(at(ctl::PROXY)));
    EXPECT_TRUE(IsWindowEnabled(at(ctl::PROXY_USER)));
    dialog.picture("settings-http1");
    showPage(q, 3, "settings-ftp");
    showPage(q, 0, "settings-general");
    EXPECT_EQ(dialog.text(ctl::FOLDER), folder + "other\\") << "the page kept what was typed, as a folder";
    EXPECT_EQ(dialog.text(ctl::TRIES), "50");
    EXPECT_EQ(dialog.text(ctl::DOWNLOADS), "2");
    type(ctl::NAME, "Renamed");
    ASSERT_TRUE(dialog.close(IDOK)) << q.describeWindows();

    EXPECT_FALSE(fileExists(folder + "setting\\default.ini"));
    EXPECT_FALSE(fileExists(folder + "setting\\default.qvr"));
    EXPECT_TRUE(fileExists(folder + "setting\\Renamed.qvr"));
    std::string ini = readFile(folder + "setting\\Renamed.ini");
    for (const char* line : {"tabName=Renamed", "maxTryNum=50", "maxDownloadNum=2", "buffSize=32767", "speedLimit=1000000",
                             "connectionsPerItem=16", "timeOutTime=3600", "subFolder=1", "useReferer=2064",
                             "referer=http://referer.test/page", "useNinsyou=1", "ninsyouUSER=user", "useProxy=1",
                             "proxy=proxy.invalid:8080", "proxyUSER=puser", "proxyPASS=ppass"})
        EXPECT_NE(ini.find(std::string(line) + "\r\n"), std::string::npos) << line << " in\n" << ini;
    EXPECT_NE(ini.find("saveFolderPath=" + folder + "other\\\r\n"), std::string::npos) << ini;
    EXPECT_EQ(q.tabText(0), "Renamed");
    EXPECT_EQ(q.title(), "Quovar - " + folder + "setting\\Renamed.qvr");

    // Four slow files: never more than two at once, each in the URL's folders under the new folder.
    std::string token = "settings" + std::to_string(GetTickCount());
    std::string text;
    for (int i = 0; i < 4; ++i) text += "http://127.0.0.1/slow/" + token + "/40000/f" + std::to_string(i) + ".bin\r\n";
    ASSERT_TRUE(paste(q, text, 4));
    q.command(206);
    int most = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            std::vector<int> states = q.rowStates();
            most = std::max(most, static_cast<int>(std::count(states.begin(), states.end(), 2)));
            return std::count(states.begin(), states.end(), 3) == 4;
        },
        60000))
        << q.describeWindows();
    EXPECT_EQ(most, 2);
    std::string saved = folder + "other\\" + safeFileName("127.0.0.1") + "\\slow\\" + token + "\\40000\\";
    std::string file = readFile(saved + "f3.bin");
    ASSERT_EQ(file.size(), 40000u) << saved;
    for (uint32_t i = 0; i < file.size(); i += 997) ASSERT_EQ(static_cast<unsigned char>(file[i]), contentByte(i)) << i;
    std::string requests = readFile(servers.state + "\\requests\\" + token + ".log");
    EXPECT_NE(requests.find("Referer: http://referer.test/page\r\n"), std::string::npos) << requests;
    EXPECT_NE(requests.find("Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos) << requests;
}

TEST_F(SettingsDialog, ATakenNameIsRefusedAndCancelLeavesEverythingAsItWas) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    q.command(1110);  // a second list, "default00", becomes current
    ASSERT_TRUE(waitUntil([&] { return q.tabText(1) == "default00"; }, 5000));
    std::string ini = folder + "setting\\default00.ini";
    std::string before = readFile(ini);
    ASSERT_TRUE(open(q)) << q.describeWindows();

    type(ctl::NAME, "DEFAULT");
    dialog.press(IDOK);
    EXPECT_EQ(q.answerMessageBox("エラー報告", 5000), "[DEFAULT]は、既に存在します");
    EXPECT_TRUE(IsWindow(dialog.window)) << "the dialog stays open for another name";

    // The folder browser opens for the save folder; cancelled, it leaves the typed text alone.
    // (Under Wine it does not always select the folder it is started on before its ＯＫ.)
    type(ctl::FOLDER, folder + "setting");
    PostMessageA(at(ctl::BROWSE), BM_CLICK, 0, 0);
    HWND browser = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (browser = ownedWindow(dialog.window)) != nullptr; }, 10000)) << q.describeWindows();
    EXPECT_NE(windowTexts(browser).find("ＤＬファイルの保存場所を指定"), std::string::npos) << windowTexts(browser);
    PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(browser); }, 5000));
    EXPECT_EQ(dialog.text(ctl::FOLDER), folder + "setting");

    showPage(q, 3, "settings-ftp");
    ASSERT_TRUE(dialog.close(IDCANCEL));
    EXPECT_EQ(readFile(ini), before);
    EXPECT_TRUE(fileExists(folder + "setting\\default00.qvr"));
    EXPECT_EQ(q.tabText(1), "default00");

    ASSERT_TRUE(open(q));
    EXPECT_EQ(SendMessageA(at(ctl::PAGES), TCM_GETCURSEL, 0, 0), 3) << "the page shown last comes first";
    EXPECT_TRUE(dialog.close(IDCANCEL));
}

}  // namespace
