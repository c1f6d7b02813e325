#include "tests/e2e/program_test.h"
#include <gtest/gtest.h>

namespace {

struct Intake : ProgramTest {
    static std::vector<std::string> urls(const QuovarProcess& q) {
        std::vector<std::string> list;
        for (auto& row : items(q)) list.push_back(row[URL]);
        return list;
    }
};

TEST_F(Intake, PasteTakesHttpThenFtpUrlsWithTheTextAfterThem) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "get FTP://Host/Pub/A.bin now\r\nand http://h/x.zip too\r\nHTTP://H/Y.ZIP\r\n", 3));
    EXPECT_EQ(urls(q), (std::vector<std::string>{"http://h/x.zip too", "HTTP://H/Y.ZIP", "FTP://Host/Pub/A.bin now"}));
}

TEST_F(Intake, CopyPutsTheSelectedUrlsEachWithCrLf) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\n", 3));
    q.selectRows({0, 2});
    putClipboardText("old");
    DWORD before = GetClipboardSequenceNumber();
    q.command(241);
    // Reading the clipboard opens it, and a copy that finds it open fails; so the test watches the
    // sequence number until the program has the clipboard, and reads it only then.
    ASSERT_TRUE(waitUntil([&] { return GetClipboardSequenceNumber() != before; }, 5000));
    ASSERT_TRUE(waitUntil([] { return clipboardText() != "old" && !clipboardText().empty(); }, 5000));
    EXPECT_EQ(clipboardText(), "http://h/1\r\nhttp://h/3\r\n");
}

TEST_F(Intake, ClipboardHeldByAnotherProgramIsReportedAndNothingIsRemoved) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/1\r\nhttp://h/2\r\n", 2));
    q.selectRows({0});
    putClipboardText("kept");
    ASSERT_TRUE(OpenClipboard(nullptr));
    q.command(240);
    EXPECT_FALSE(q.answerMessageBox("確認", 5000, 6).empty());
    std::string report = q.answerMessageBox("報告", 5000);
    CloseClipboard();
    EXPECT_EQ(report.find("クリップボードをオープンできませんでした"), 0u);
    q.settle();
    EXPECT_EQ(urls(q).size(), 2u) << "a cut whose copy failed removes nothing";
    EXPECT_EQ(clipboardText(), "kept");
}

TEST_F(Intake, CutAsksFirstThenCopiesAndRemoves) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\n", 3));
    q.selectRows({1});
    putClipboardText("untouched");
    q.command(240);
    EXPECT_EQ(q.answerMessageBox("確認", 5000, IDCANCEL).find("1個の選択状態のアイテムを切り取ります"), 0u);
    q.settle();
    EXPECT_EQ(urls(q).size(), 3u) << "cancelled: nothing changes";
    EXPECT_EQ(clipboardText(), "untouched");
    q.command(240);
    EXPECT_FALSE(q.answerMessageBox("確認", 5000, 6).empty()) << "ＯＫ carries the id 6";
    ASSERT_TRUE(waitUntil([&] { return urls(q).size() == 2; }, 5000));
    EXPECT_EQ(urls(q), (std::vector<std::string>{"http://h/1", "http://h/3"}));
    EXPECT_EQ(clipboardText(), "http://h/2\r\n");
}

// Two mirrors of one file name (different files, as mirrors out of step are) end up as two files,
// each whole; the FTP item shows the size the real server's SIZE gives, as its 150 reply names none;
// a file the server names takes that name, in its row and in the saved list too.
TEST_F(Intake, TwoMirrorsGiveTwoWholeFilesServersNameTheirsAndFtpShowsItsSize) {
    const TestServers& servers = testServers();
    presetDefaultList(servers.nginx, "maxDownloadNum=3\r\n[FTP]\r\nport=" + std::to_string(servers.realFtp) + "\r\n");
    std::string token = uniqueToken("mirrors");
    std::string mirrors[2] = {"m1-" + token, "m2-" + token};
    std::string bytes[2] = {std::string(300000, 'a'), contentBytes(0, 200000)};
    for (int i = 0; i < 2; ++i) {
        CreateDirectoryA((servers.root + "\\" + mirrors[i]).c_str(), nullptr);
        writeFile(servers.root + "\\" + mirrors[i] + "\\same.bin", bytes[i]);
    }
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://127.0.0.1/" + mirrors[0] + "/same.bin\r\nhttp://127.0.0.1/" + mirrors[1] +
                             "/same.bin\r\nftp://127.0.0.1/big.bin\r\nhttp://127.0.0.1:" +
                             std::to_string(servers.http) + "/named/" + token + "/7000/get.php?id=5\r\n",
                      4));
    EXPECT_EQ(cell(q, 0, NAME), "same.bin");
    EXPECT_EQ(cell(q, 1, NAME), "same (2).bin");
    EXPECT_EQ(cell(q, 2, NAME), "get.php");
    q.command(206);
    std::string ftpSize = std::to_string(readFile(servers.ftpRoot + "\\big.bin").size());
    EXPECT_TRUE(waitUntil(
        [&] {
            return cell(q, 0, FETCHED) == std::to_string(bytes[0].size()) &&
                   cell(q, 1, FETCHED) == std::to_string(bytes[1].size()) && cell(q, 2, FETCHED) == "7000" &&
                   cell(q, 3, FETCHED) == ftpSize;
        },
        60000));
    EXPECT_EQ(cell(q, 3, SIZE), ftpSize);
    EXPECT_TRUE(waitUntil([&] { return cell(q, 2, NAME) == "日本 setup.exe"; }, 20000)) << cell(q, 2, NAME);
    q.selectRows({1});
    ASSERT_TRUE(waitUntil([&] { return logLines(q).size() >= 2; }, 5000));
    EXPECT_EQ(logLines(q)[1], "info>保存名 same (2).bin (URLから、同名のアイテムがあるため番号付き)");
    ASSERT_TRUE(q.closeAndWait(20000));
    EXPECT_TRUE(readFile(folder + "download\\same.bin") == bytes[0]);
    EXPECT_TRUE(readFile(folder + "download\\same (2).bin") == bytes[1]);
    EXPECT_TRUE(readFile(folder + "download\\日本 setup.exe") == contentBytes(0, 7000));
    EXPECT_NE(readFile(folder + "setting\\default.qvr").find("download\\日本 setup.exe\r"), std::string::npos);
    for (const std::string& mirror : mirrors) {
        DeleteFileA((servers.root + "\\" + mirror + "\\same.bin").c_str());
        RemoveDirectoryA((servers.root + "\\" + mirror).c_str());
    }
}

TEST_F(Intake, ALongSignedUrlStaysWhole) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    std::string url = "http://h/f.zip?X-Signature=" + std::string(2000, 'a');
    ASSERT_TRUE(paste(q, url + "\r\nhttp://h/next\r\n", 2));
    EXPECT_EQ(urls(q), (std::vector<std::string>{url, "http://h/next"}));
}

}  // namespace
