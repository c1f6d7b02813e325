#include "tests/e2e/program_test.h"
#include "tests/e2e/resume_run.h"
#include "tests/unit/temp_folder.h"
#include "common/win_handles.h"
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::string allOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Ten files, half over FTP, each cut off 1 to 5 times by the server; one item at a time is stopped
// and started again, failed ones are started again, and once half of them are through the program is killed and started anew.
TEST(ResumeIntegrity, DropsStopsAndACrashLeaveEveryFileIdentical) {
    TempFolder temp;
    std::string folder = temp.path() + "Quovar\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    ResumeRun run;
    ResumeResult result = runResumeIntegrity(folder, run);
    std::printf("%d connections, %d stops, %d restarts, %d kill\n", result.connections, result.stops, result.restarts,
                result.kills);
    EXPECT_EQ(result.identical, run.downloads) << allOf(result.problems);
    EXPECT_EQ(result.finished + result.refusedComplete, run.downloads) << "every row ends finished or complete";
    EXPECT_EQ(result.kills, 1);
    EXPECT_GE(result.connections, 2 * run.downloads) << "every file was cut off at least once";
}

struct RangeResume : ProgramTest {
    std::string saved(const std::string& name) const { return folder + "download\\" + name; }
    bool stateFileExists() const {
        WIN32_FIND_DATAA found;
        FindHandle find(FindFirstFileA((folder + "setting\\*.qvs").c_str(), &found));
        return find.valid();
    }
    // Pastes a URL of nginx's per-connection-limited folder as row `row`, saves, starts it, and
    // kills the program once a state file counts some of its ranges.
    void startAndKill(const std::string& name, size_t row) {
        QuovarProcess q(folder);
        ASSERT_TRUE(q.started());
        ASSERT_TRUE(paste(q, "http://localhost/ranged/" + name + "\r\n", row + 1));
        q.command(1100);
        q.selectRows({static_cast<int>(row)});
        q.command(200);
        ASSERT_TRUE(waitUntil([&] { return stateFileExists(); }, 20000));
        q.kill();
        EXPECT_EQ(readFile(saved(name)), "") << "no byte in the save file before all are there";
        EXPECT_TRUE(fileExists(saved(name) + ".qvpart"));
    }
    // Starts the program again, starts row `row` and waits for its file. The item's log lines.
    std::vector<std::string> finish(const std::string& name, size_t row, const std::string& source) {
        QuovarProcess q(folder);
        EXPECT_TRUE(q.started());
        q.selectRows({static_cast<int>(row)});
        q.command(200);
        EXPECT_TRUE(waitUntil([&] { return readFile(saved(name)).size() == source.size(); }, 30000));
        // A busy window shows no rows: the pane is read until it shows the item's end.
        std::vector<std::string> log;
        EXPECT_TRUE(waitUntil([&] {
            log = logLines(q);
            return std::any_of(log.begin(), log.end(), [](const std::string& line) { return line.rfind("info>成功", 0) == 0; });
        }, 10000));
        EXPECT_TRUE(q.closeAndWait(10000));
        return log;
    }
};

// Killed halfway, the program fetches only the missing ranges when started again; killed again and
// switched to one connection, it goes on from the recorded ranges over one.
TEST_F(RangeResume, AKillHalfwayAndASwitchToOneConnectionLeaveTheFileIdentical) {
    const TestServers& servers = testServers();
    presetDefaultList(servers.nginx, "connectionsPerItem=4\r\nspeedLimit=-1\r\n");
    std::string first = "e2e-ranges-a" + std::to_string(GetTickCount()) + ".bin";
    std::string second = "e2e-ranges-b" + std::to_string(GetTickCount()) + ".bin";
    std::string source = contentBytes(0, 12 * 1024 * 1024 + 5);
    writeFile(servers.root + "\\" + first, source);
    writeFile(servers.root + "\\" + second, source);

    startAndKill(first, 0);
    std::vector<std::string> log = finish(first, 0, source);
    EXPECT_TRUE(readFile(saved(first)) == source);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("info>4本の接続で取得 (取得済み ", 0) == 0 && line.find("済み 0バイト") == std::string::npos;
    })) << "the second start went on from the state file:\n" << allOf(log);

    startAndKill(second, 1);
    writeFile(folder + "setting\\default.ini", "[SETTING]\r\ntabName=default\r\ntabNo=0\r\nconnectionsPerItem=1\r\nspeedLimit=-1\r\n"
                                                  "[HTTP]\r\nport=" + std::to_string(servers.nginx) + "\r\n");
    log = finish(second, 1, source);
    EXPECT_TRUE(readFile(saved(second)) == source);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("info>1本の接続で取得 (取得済み ", 0) == 0 && line.find("済み 0バイト") == std::string::npos;
    })) << allOf(log);
    EXPECT_FALSE(fileExists(saved(second) + ".qvpart")) << "the part file of the ranges goes once the file is whole";
    EXPECT_FALSE(stateFileExists());
    DeleteFileA((servers.root + "\\" + first).c_str());
    DeleteFileA((servers.root + "\\" + second).c_str());
}

}  // namespace
