// The hostile-server catalogue: every cases/*.case file is one scenario, played by the replay server
// (tests/servers/replay_server.py) against a real transfer thread. Each must end with its one
// outcome and stage, within its time, after the client sent what the scripts expected, leaving a
// save file that holds exactly the bytes received, in order.
#include "common/text.h"
#include "engine/ftp_transfer.h"
#include "engine/http_transfer.h"
#include "engine/transfer_events.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/hostile/case_file.h"
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <winsock2.h>

namespace {

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The cases folder: QUOVAR_HOSTILE_CASES when set (CTest sets it), else the source tree's.
std::string casesFolder() {
    const char* folder = std::getenv("QUOVAR_HOSTILE_CASES");
    return windowsPath(folder && *folder ? folder : QUOVAR_HOSTILE_CASES_DIR) + "\\";
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((casesFolder() + "*.case").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string file = found.cFileName;
        names.push_back(file.substr(0, file.size() - 5));
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

int replayPort() {
    const char* file = std::getenv("QUOVAR_SERVERS");
    return file ? GetPrivateProfileIntA("servers", "replay", 0, windowsPath(file).c_str()) : 0;
}

// One request to the replay server's own commands (ARM, REPORT); its answer, line by line.
std::vector<std::string> askReplay(const std::string& request) {
    std::vector<std::string> lines;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(replayPort()));
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    int timeout = 30000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        std::string line = request + "\r\n";
        send(s, line.data(), static_cast<int>(line.size()), 0);
        std::string answer;
        char chunk[1024];
        for (int n; (n = recv(s, chunk, sizeof chunk, 0)) > 0;) answer.append(chunk, static_cast<size_t>(n));
        std::istringstream in(answer);
        for (std::string l; std::getline(in, l);) {
            if (!l.empty() && l.back() == '\r') l.pop_back();
            lines.push_back(l);
        }
    }
    closesocket(s);
    return lines;
}

struct ServerReport {
    int connections = -1;
    std::vector<std::string> problems;
    bool complete = false;
};

ServerReport reportOf(const std::string& name, const std::string& token) {
    ServerReport report;
    for (const std::string& line : askReplay("REPORT " + name + " " + token)) {
        if (line.rfind("connections ", 0) == 0) report.connections = std::atoi(line.c_str() + 12);
        if (line.rfind("problem ", 0) == 0) report.problems.push_back(line.substr(8));
        if (line == "end") report.complete = true;
    }
    return report;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += "  " + l + "\n";
    return text;
}

// Where two byte strings first differ, for a readable failure.
std::string firstDifference(const std::string& got, const std::string& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return "the file has " + std::to_string(got.size()) + " bytes, " + std::to_string(want.size()) +
           " expected; they differ from byte " + std::to_string(i);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

struct HostileServer : ::testing::TestWithParam<std::string> {
    SchedulerStandIn scheduler;
};

TEST_P(HostileServer, EndsAsTheCaseSays) {
    ASSERT_NE(replayPort(), 0) << "QUOVAR_SERVERS names no replay server";
    const std::string name = GetParam();
    HostileCase c;
    std::string error;
    ASSERT_TRUE(parseHostileCase(name, readFile(casesFolder() + name + ".case"), c, error)) << error;

    DownloadList& list = scheduler.list();
    list.timeOutTime = c.timeOutTime;
    list.maxTryNum = c.maxTryNum;
    list.buffSize = c.buffSize;
    list.retryWaitTime = c.retryWaitTime;
    list.connectionsPerItem = c.connectionsPerItem;
    list.speedLimit = c.speedLimit;
    if (c.useReferer) list.HTTP.useReferer = c.useReferer;
    list.HTTP.useNinsyou = c.basicUser.empty() ? 0 : 1;
    copyText(list.HTTP.ninsyouUSER, c.basicUser);
    copyText(list.HTTP.ninsyouPASS, c.basicPassword);
    list.HTTP.useCookie = c.cookie.empty() ? 0 : 1;
    copyText(list.HTTP.cookie, c.cookie);
    std::string userinfo = c.userinfo.empty() ? "" : c.userinfo + "@";
    static int runs = 0;
    std::string token = "t" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
                        std::to_string(++runs);

    bool ftp = c.protocol == "ftp";
    copyText(list.FTP.ninsyouUSER, name + "/" + token);
    copyText(list.FTP.ninsyouPASS, c.ftpPassword);
    if (ftp || c.followFtp) {
        // An FTP server speaks first, so the scenario gets a port of its own before the client connects.
        std::vector<std::string> armed = askReplay("ARM " + name + " " + token);
        ASSERT_FALSE(armed.empty()) << "the replay server did not answer";
        ASSERT_EQ(armed[0].rfind("PORT ", 0), 0u) << armed[0];
        list.FTP.port = static_cast<uint32_t>(std::atoi(armed[0].c_str() + 5));
    }
    std::string url;
    if (ftp) {
        url = "ftp://" + userinfo + "127.0.0.1" + c.path;
    } else {
        list.HTTP.port = static_cast<uint32_t>(replayPort());
        url = "http://" + userinfo + "127.0.0.1/" + name + "/" + token + c.path;
    }
    DownloadItem& item = scheduler.createItem(url);
    const std::string urlSavePath = item.savePath;
    if (c.namedByHand) item.nameSource = NameByHand;
    if (c.present) {
        CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
        writeFile(item.savePath, c.presentBytes);
        item.fetchedSize = static_cast<uint32_t>(c.presentBytes.size());
    }
    item.totalSize = c.rememberedTotal;
    item.validator = c.rememberedValidator;

    bool stopAsked = false;
    TransferRecord r = scheduler.run(item, ftp ? ftpTransfer : httpTransfer,
                                     [&](DownloadItem& i, const TransferRecord& rec) {
                                         if (!stopAsked && c.stopAfterCount > 0 &&
                                             rec.countLines(c.stopAfterPrefix) >= c.stopAfterCount) {
                                             sharedWrite(i.state, static_cast<uint8_t>(StopRequested));
                                             stopAsked = true;
                                         }
                                     });
    if (c.followFtp && r.outcomes == std::vector<uint32_t>{CMD_REDIRECT_FTP}) {
        // As the scheduler does: the FTP thread takes the item up at the URL the server named.
        item.ftpRedirect = 1;
        TransferRecord redirected = scheduler.run(item, ftpTransfer);
        r.outcomes = redirected.outcomes;
        r.log.insert(r.log.end(), redirected.log.begin(), redirected.log.end());
        r.milliseconds += redirected.milliseconds;
    }
    ServerReport report = reportOf(name, token);
    SCOPED_TRACE("item log:\n" + joined(r.log));

    EXPECT_EQ(r.outcomes, std::vector<uint32_t>{c.outcome});
    EXPECT_EQ(item.failStage, c.stage);
    double seconds = r.milliseconds / 1000.0;
    EXPECT_LE(seconds, c.maxSeconds);
    EXPECT_GE(seconds, c.minSeconds);
    if (c.tries >= 0) {
        EXPECT_EQ(item.tryCount, c.tries);
    }
    if (c.total >= 0) {
        EXPECT_EQ(item.totalSize, static_cast<uint64_t>(c.total));
    }
    if (c.checkRedirect) {
        EXPECT_EQ(item.redirectUrl, c.redirect);
    }
    for (const std::string& prefix : c.logged) EXPECT_GT(r.countLines(prefix), 0) << "not logged: " << prefix;
    for (const std::string& prefix : c.notLogged) EXPECT_EQ(r.countLines(prefix), 0) << "logged: " << prefix;

    // What the client sent, as the scripts expected it.
    EXPECT_TRUE(report.complete) << "the replay server gave no report";
    EXPECT_TRUE(report.problems.empty()) << joined(report.problems);
    EXPECT_GE(report.connections, c.connectionsAtLeast);
    if (c.connectionsAtMost >= 0) {
        EXPECT_LE(report.connections, c.connectionsAtMost);
    }

    // The file the server named lies in the save folder, and no file is left under the old name.
    if (!c.saved.empty()) {
        EXPECT_EQ(textOf(item.savePath), scheduler.temp.path() + "download\\" + c.saved);
        EXPECT_EQ(GetFileAttributesA(urlSavePath.c_str()), INVALID_FILE_ATTRIBUTES) << urlSavePath;
    }
    // The save file: exactly the bytes received, in order, with nothing left of what was there.
    std::string file = readFile(item.savePath);
    EXPECT_TRUE(file == c.fileBytes) << firstDifference(file, c.fileBytes);
}

INSTANTIATE_TEST_SUITE_P(Case, HostileServer, ::testing::ValuesIn(caseNames()), testName);

TEST(HostileCatalogue, IsFoundAndCoversBothProtocols) {
    int http = 0, ftp = 0;
    for (const std::string& name : caseNames()) {
        HostileCase c;
        std::string error;
        EXPECT_TRUE(parseHostileCase(name, readFile(casesFolder() + name + ".case"), c, error)) << error;
        (c.protocol == "ftp" ? ftp : http) += 1;
    }
    EXPECT_GE(http, 20) << "cases folder: " << casesFolder();
    EXPECT_GE(ftp, 20) << "cases folder: " << casesFolder();
}

}  // namespace
