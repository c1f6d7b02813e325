// The machine lets the program down: a full disk, a read-only save folder, a file another program
// holds, a settings folder that cannot be made, damaged list files. Each time the program must say
// what went wrong, lose nothing, and keep working.
#include "lists/item_list_format.h"
#include "tests/e2e/program_test.h"
#include <algorithm>

namespace {

constexpr int kFinished = 3;
constexpr int kFailed = 4;

struct MachineFaults : ProgramTest {
    static bool rowEnds(const QuovarProcess& q, int row, int state, DWORD ms = 30000) {
        return waitUntil(
            [&] {
                std::vector<int> states = q.rowStates();
                return row < static_cast<int>(states.size()) && states[row] == state;
            },
            ms);
    }
    static bool logged(const QuovarProcess& q, const std::string& line) {
        return waitUntil(
            [&] {
                std::vector<std::string> lines = logLines(q);
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            5000);
    }
    // The saved item list holds `url` once the program has closed.
    bool savedWith(const std::string& url) const {
        for (const StoredItem& stored : parseItemList(readFile(folder + "setting\\default.qvr")))
            if (stored.url == url) return true;
        return false;
    }
};

TEST_F(MachineFaults, FullDiskFailsTheWriteAndTheFileResumesOnceThereIsRoom) {
    const std::string disk = testServers().fullFolder;
    if (disk.empty()) GTEST_SKIP() << "this machine does not let the tests mount a small file system";
    std::string filler = disk + "filler.bin";
    writeFile(filler, std::string(160 * 1024, 'f'));
    presetDefaultList(testServers().http, "saveFolderPath=" + disk + "\r\nmaxTryNum=1\r\n");
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    std::string token = uniqueToken("full");
    std::string url = "http://127.0.0.1/file/" + token + "/150000/full.bin";
    ASSERT_TRUE(paste(q, url + "\r\n", 1));
    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(rowEnds(q, 0, kFailed));
    EXPECT_TRUE(logged(q, "info>失敗 (ファイル書き込み)"));
    std::string path = disk + "full.bin";
    std::string partial = readFile(path);
    ASSERT_GT(partial.size(), 0u);
    ASSERT_LT(partial.size(), 150000u);
    EXPECT_TRUE(partial == contentBytes(0, static_cast<uint32_t>(partial.size()))) << "what was written is the start";
    shot(q, "disk-full");

    DeleteFileA(filler.c_str());
    q.command(202);
    ASSERT_TRUE(rowEnds(q, 0, kFinished));
    EXPECT_TRUE(readFile(path) == contentBytes(0, 150000));
    auto requests = requestsFor(token);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("Range: bytes="), std::string::npos) << "the second start resumed";
    EXPECT_TRUE(q.closeAndWait(20000));
    EXPECT_TRUE(savedWith(url));
    DeleteFileA(path.c_str());
}

TEST_F(MachineFaults, SizeBeyondTheDiskFailsTheWriteAndKeepsWhatWasThere) {
    const std::string disk = testServers().fullFolder;
    if (disk.empty()) GTEST_SKIP() << "this machine does not let the tests mount a small file system";
    std::string path = disk + "huge.iso";
    writeFile(path, contentBytes(0, 20000));  // a partial file from an earlier run
    presetDefaultList(testServers().http, "saveFolderPath=" + disk + "\r\nmaxTryNum=1\r\n");
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    const std::string terabyte = "1099511627776";
    ASSERT_TRUE(paste(q, "http://127.0.0.1/huge/" + uniqueToken("huge") + "/" + terabyte + "/huge.iso\r\n", 1));
    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(rowEnds(q, 0, kFailed));
    EXPECT_TRUE(logged(q, "info>失敗 (ファイル書き込み)"));
    EXPECT_EQ(cell(q, 0, SIZE), terabyte);
    std::string kept = readFile(path);
    ASSERT_GT(kept.size(), 20000u);
    EXPECT_TRUE(kept == contentBytes(0, static_cast<uint32_t>(kept.size()))) << "the old bytes and then the new ones";
    EXPECT_TRUE(q.closeAndWait(20000));
    DeleteFileA(path.c_str());
}

TEST_F(MachineFaults, ReadOnlySaveFolderFailsAtTheFolderAndTheItemIsKept) {
    const std::string readOnly = testServers().readOnlyFolder;
    if (readOnly.empty()) GTEST_SKIP() << "this machine does not let the tests mount a read-only file system";
    presetDefaultList(testServers().nginx, "saveFolderPath=" + readOnly + "\r\nsubFolder=1\r\n");
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://127.0.0.1/big.bin\r\nhttp://127.0.0.1/other.bin\r\n", 2));
    q.selectRows({0, 1});
    q.command(200);
    ASSERT_TRUE(rowEnds(q, 0, kFailed, 10000));
    EXPECT_TRUE(rowEnds(q, 1, kFailed, 10000));
    q.selectRows({0});
    EXPECT_TRUE(logged(q, "info>失敗 (フォルダ作成)")) << "the host's folder cannot be made there";
    EXPECT_TRUE(q.settle());
    EXPECT_TRUE(q.closeAndWait(20000));
    EXPECT_TRUE(savedWith("http://127.0.0.1/big.bin"));
    EXPECT_TRUE(savedWith("http://127.0.0.1/other.bin"));
}

TEST_F(MachineFaults, FileHeldByAnotherProgramFailsAtTheFileOpenUntilItIsFree) {
    presetDefaultList(testServers().nginx);
    CreateDirectoryA((folder + "download").c_str(), nullptr);
    std::string path = folder + "download\\big.bin";
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://127.0.0.1/big.bin\r\n", 1));
    q.selectRows({0});
    q.command(200);
    EXPECT_TRUE(rowEnds(q, 0, kFailed, 10000));
    EXPECT_TRUE(logged(q, "info>失敗 (ファイルオープン)"));
    CloseHandle(held);
    q.command(202);
    ASSERT_TRUE(rowEnds(q, 0, kFinished, 60000));
    EXPECT_TRUE(readFile(path) == readFile(testServers().root + "\\big.bin"));
}

TEST_F(MachineFaults, SettingsFolderThatCannotBeMadeIsReportedAndTheProgramGoesOn) {
    writeFile(folder + "setting", "a file where the settings folder should be");
    std::string report;
    QuovarProcess q(folder, &report);
    EXPECT_NE(report.find("設定保存フォルダ[ " + folder + "setting\\ ] の作成に失敗"), std::string::npos) << report;
    // The default list's item file could not be made either, and the program says so as it loads it.
    EXPECT_NE(report.find("default.qvr ] \n\nが有りません"), std::string::npos) << report;
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://127.0.0.1/big.bin\r\n", 1));
    EXPECT_TRUE(q.settle());
    shot(q, "no-settings-folder");
    // Nothing can be stored; closing says so and ends all the same.
    std::string closing;
    PostMessageA(q.window(), WM_CLOSE, 0, 0);
    bool ended = waitUntil(
        [&] {
            std::string text = q.answerMessageBox("報告", 0);
            if (!text.empty()) closing += text + "\n";
            return !q.running();
        },
        30000);
    EXPECT_TRUE(ended) << closing << q.describeWindows();
    EXPECT_NE(closing.find("の作成に失敗"), std::string::npos) << "the failed save is reported: " << closing;
}

// The new item file cannot be written (a folder stands where it is made): the save says so and the
// previous file is left whole.
TEST_F(MachineFaults, ItemListThatCannotBeWrittenIsReportedAndTheOldFileKept) {
    presetDefaultList(testServers().nginx);
    writeFile(folder + "setting\\default.qvr", formatItemRecord("http://h/kept.bin", "", 0, false));
    CreateDirectoryA((folder + "setting\\default.qvr.new").c_str(), nullptr);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/new.bin\r\n", 2));
    q.command(1100);
    EXPECT_NE(q.answerMessageBox("報告", 10000).find("default.qvr ] の保存に失敗"), std::string::npos);
    EXPECT_TRUE(savedWith("http://h/kept.bin"));
    EXPECT_FALSE(savedWith("http://h/new.bin"));
    RemoveDirectoryA((folder + "setting\\default.qvr.new").c_str());
    q.command(1100);
    EXPECT_TRUE(waitUntil([&] { return savedWith("http://h/new.bin"); }, 10000)) << "the next save goes through";
}

TEST_F(MachineFaults, DamagedListFilesLoadWhatTheyHoldAndSaveCleanFiles) {
    CreateDirectoryA((folder + "setting").c_str(), nullptr);
    writeFile(folder + "setting\\default.ini",
              std::string("[SETTING]\r\ntabName=\x81\r\ntabNo=77\r\nmaxDownloadNum=99\r\nretryWaitTime=zz\r\n") +
                  "timeOutTime=99999999999\r\n\x01\x02\xff garbage line\r\n[HTTP]\r\nport=" +
                  std::to_string(testServers().nginx) + "\r\n");
    std::string damaged = formatItemRecord("http://127.0.0.1/big.bin", "", 0, false);
    damaged += std::string("\x00\x01\x02\xfe\xff\r\n", 6) + std::string(5000, 'x') + "\r\n";
    damaged += "http://h/a\xe5\xe5?query\r\r\n\r\n-5\r\n1\r\n";
    damaged += "http://h/b.bin\r\nZ:\\elsewhere\\b.bin\r\n99999999999999999999\r\n";  // cut short
    writeFile(folder + "setting\\default.qvr", damaged);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    auto rows = items(q);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][URL], "http://127.0.0.1/big.bin");
    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(rowEnds(q, 0, kFinished, 60000));
    EXPECT_TRUE(readFile(folder + "download\\big.bin") == readFile(testServers().root + "\\big.bin"));
    shot(q, "damaged-lists");
    size_t shown = items(q).size();
    ASSERT_TRUE(q.closeAndWait(20000));
    std::vector<StoredItem> saved = parseItemList(readFile(folder + "setting\\default.qvr"));
    EXPECT_EQ(saved.size(), shown) << "every row is saved, and nothing else";
    for (const StoredItem& item : saved)
        EXPECT_EQ(item.url.find_first_of(std::string("\r\n\0", 3)), std::string::npos) << item.url;
    EXPECT_TRUE(saved[0].finished);
    QuovarProcess again(folder);
    ASSERT_TRUE(again.started());
    EXPECT_EQ(items(again).size(), shown) << "the saved files load back the same";
}

}  // namespace
