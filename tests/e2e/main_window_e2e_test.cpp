#include "tests/e2e/program_test.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

struct MainWindow : ProgramTest {};

TEST_F(MainWindow, FirstStartShowsTheDefaultList) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    EXPECT_EQ(q.title(), "Quovar - " + folder + "setting\\default.qvr");
    RECT r;
    GetWindowRect(q.window(), &r);
    EXPECT_EQ(r.left, 114);
    EXPECT_EQ(r.top, 288);
    EXPECT_EQ(r.right - r.left, 641);
    EXPECT_EQ(r.bottom - r.top, 308 + 12) << "the status strip adds 12 pixels";
    EXPECT_TRUE(fileExists(folder + "setting\\default.ini"));
    EXPECT_TRUE(fileExists(folder + "setting\\default.qvr"));
    EXPECT_FALSE(logLines(q).empty()) << "the socket layer's start line";
    shot(q, "first-start");
    EXPECT_TRUE(q.closeAndWait(20000));
    EXPECT_NE(readFile(folder + "quovar.ini").find("[WINDOW]"), std::string::npos);
    EXPECT_NE(readFile(folder + "setting\\default.ini").find("tabName=default"), std::string::npos);
}

TEST_F(MainWindow, PastedItemDownloadsByteIdentical) {
    presetDefaultList(testServers().nginx);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    // Over IPv6 where the machine has it: the whole way from the paste to the bytes on disk.
    std::string url = std::string("http://") + (testServers().ipv6 ? "[::1]" : "127.0.0.1") + "/big.bin";
    ASSERT_TRUE(paste(q, "see " + url + "\r\n", 1));
    auto rows = items(q);
    ASSERT_EQ(rows.size(), 1u);
    auto row = rows[0];
    EXPECT_EQ(row[NAME], "big.bin");
    EXPECT_EQ(row[SIZE], "?");
    EXPECT_EQ(row[URL], url);
    q.selectRows({0});
    q.command(200);
    std::string source = readFile(testServers().root + "\\big.bin");
    std::string size = std::to_string(source.size());
    ASSERT_TRUE(waitUntil([&] { return cell(q, 0, FETCHED) == size; }, 60000));
    shot(q, "downloaded");
    rows = items(q);
    ASSERT_EQ(rows.size(), 1u);
    row = rows[0];
    EXPECT_EQ(row[SIZE], size);
    EXPECT_EQ(row[REMAINING], "0 xx:xx:xx");
    EXPECT_EQ(row[TRIES], "1/10");
    EXPECT_TRUE(readFile(folder + "download\\big.bin") == source);
    std::vector<std::string> log;
    ASSERT_TRUE(waitUntil([&] { return (log = logLines(q)).size() >= 2 && log.back().empty(); }, 5000));
    EXPECT_EQ(log.front(), "info>開始");
    EXPECT_EQ(log[log.size() - 2], "info>成功");
    EXPECT_FALSE(GetFileAttributesA((folder + "download\\big.bin").c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(MainWindow, ALogPaneWithTheFocusStaysWhereTheUserScrolledIt) {
    // An item that keeps failing (404) and trying again each second adds lines to its log.
    presetDefaultList(testServers().http, "maxTryNum=50\r\nretryWaitTime=1\r\n");
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://127.0.0.1/status/" + uniqueToken("log") + "/404/x.bin\r\n", 1));
    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(waitUntil([&] { return logLines(q).size() >= 25; }, 20000));
    HWND pane = q.control(kLogPane);
    DWORD programThread = GetWindowThreadProcessId(pane, nullptr);
    auto paneHasTheFocus = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(programThread, &info) && info.hwndFocus == pane;
    };
    // Another program's window may take the focus meanwhile (the tests share one display); a
    // pane that lost it may follow its newest line, so such a round proves nothing and is done again.
    for (int round = 0; round < 5; ++round) {
        // The user gives the pane the focus and scrolls to its first line.
        AttachThreadInput(GetCurrentThreadId(), programThread, TRUE);
        SetFocus(pane);
        AttachThreadInput(GetCurrentThreadId(), programThread, FALSE);
        ASSERT_TRUE(paneHasTheFocus()) << "the pane did not get the focus";
        SendMessageA(pane, LVM_ENSUREVISIBLE, 0, FALSE);
        ASSERT_EQ(SendMessageA(pane, LVM_GETTOPINDEX, 0, 0), 0);
        size_t before = logLines(q).size();
        ASSERT_TRUE(waitUntil([&] { return logLines(q).size() >= before + 10; }, 30000));
        if (!paneHasTheFocus()) continue;
        EXPECT_EQ(SendMessageA(pane, LVM_GETTOPINDEX, 0, 0), 0) << "the pane jumped to its newest line";
        return;
    }
    FAIL() << "the pane never kept the focus while new lines came";
}

TEST_F(MainWindow, StopKeepsTheHiddenPartAndStartResumesIt) {
    presetDefaultList(testServers().http);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    std::string token = uniqueToken("e2e-stop");
    ASSERT_TRUE(paste(q, "http://127.0.0.1/slow/" + token + "/400000/slow.bin\r\n", 1));
    q.selectRows({0});
    q.command(200);
    std::string path = folder + "download\\slow.bin";
    ASSERT_TRUE(waitUntil([&] { return readFile(path).size() > 20000; }, 20000));
    q.command(201);
    ASSERT_TRUE(waitUntil([&] { return logLineFromEnd(q, 1) == "info>停止"; }, 30000));
    std::string partial = readFile(path);
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(partial == contentBytes(0, static_cast<uint32_t>(partial.size())));
    q.command(200);
    ASSERT_TRUE(waitUntil([&] { return cell(q, 0, FETCHED) == "400000"; }, 60000));
    EXPECT_TRUE(readFile(path) == contentBytes(0, 400000));
    auto requests = requestsFor(token);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("Range: bytes=" + std::to_string(partial.size()) + "-"), std::string::npos);
}

// The file changes on the server while the program is closed: after the restart the resume names
// the version its bytes are of, and the file ends as exactly the new one.
TEST_F(MainWindow, AFileThatChangedWhileStoppedIsFetchedAgainAfterARestart) {
    presetDefaultList(testServers().http);
    std::string token = uniqueToken("e2e-version"), path = folder + "download\\v.bin";
    {
        QuovarProcess q(folder);
        ASSERT_TRUE(q.started());
        ASSERT_TRUE(paste(q, "http://127.0.0.1/new-version/" + token + "/300000/v.bin\r\n", 1));
        q.selectRows({0});
        q.command(200);
        ASSERT_TRUE(waitUntil([&] { return readFile(path).size() > 20000; }, 20000));
        q.command(201);
        ASSERT_TRUE(waitUntil([&] { return logLineFromEnd(q, 1) == "info>停止"; }, 30000));
        ASSERT_TRUE(q.closeAndWait(20000));
    }
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(waitUntil([&] { return items(q).size() == 1; }, 10000));
    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(waitUntil([&] { return cell(q, 0, FETCHED) == "300000" && readFile(path).size() == 300000; }, 60000))
        << logLineFromEnd(q, 3) << "\n" << logLineFromEnd(q, 2) << "\n" << logLineFromEnd(q, 1);
    EXPECT_TRUE(readFile(path) == contentBytes(0, 300000));
    auto requests = requestsFor(token);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("If-Range: \"v1\""), std::string::npos) << requests[1];
}

TEST_F(MainWindow, HeaderClicksSortAndKeysWorkAsInAnyWindow) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/b.zip\r\nhttp://h/c.zip\r\nhttp://h/a.zip\r\n", 3));
    HWND list = q.control(kItemList);
    // Presses on the header of column 0 and lets go at `x`, `y` of the list.
    auto clickHeaderOfColumn0 = [&](int x = 40, int y = 2) {
        POINT screen{40, 2};
        ClientToScreen(list, &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageA(list, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(q.window()), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
        SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    };
    auto names = [&] {
        std::string s;
        for (auto& r : items(q)) s += r[NAME][0];
        return s;
    };
    clickHeaderOfColumn0();
    ASSERT_TRUE(waitUntil([&] { return names() == "cba"; }, 5000)) << names();
    clickHeaderOfColumn0();
    ASSERT_TRUE(waitUntil([&] { return names() == "abc"; }, 5000)) << names();
    // Alt+Down then Alt+Up on the selected first row.
    q.selectRows({0});
    SendMessageA(list, WM_SYSKEYDOWN, VK_DOWN, 1 << 29);
    EXPECT_EQ(names(), "bac");
    SendMessageA(list, WM_SYSKEYDOWN, VK_UP, 1 << 29);
    EXPECT_EQ(names(), "abc");
    SendMessageA(list, WM_SYSKEYDOWN, VK_UP, 1 << 29);
    EXPECT_EQ(names(), "abc") << "the top row stays";
    // A press on the header released far below it, on the line of its hot area's right edge (8
    // pixels inside the column's): no sort.
    clickHeaderOfColumn0(static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0)) - 8, 200);
    Sleep(500);
    EXPECT_EQ(names(), "abc") << "a release outside the header sorted";
    // Every other system key goes on as in any window: Alt+F4 with the list focused closes.
    SendMessageA(list, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    EXPECT_TRUE(waitUntil([&] { return !q.running(); }, 20000)) << "Alt+F4 on the item list did not close";
}

TEST_F(MainWindow, SecondListKeepsEachListsRowsAndSelection) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/1\r\nhttp://h/2\r\n", 2));
    q.selectRows({1});
    q.command(1110);
    ASSERT_TRUE(waitUntil([&] { return q.title().find("default00.qvr") != std::string::npos; }, 5000));
    EXPECT_TRUE(items(q).empty());
    ASSERT_TRUE(paste(q, "http://h/3\r\n", 1));
    q.clickTab(0);
    ASSERT_TRUE(waitUntil([&] { return items(q).size() == 2; }, 5000));
    EXPECT_EQ(q.title(), "Quovar - " + folder + "setting\\default.qvr");
    HWND list = q.control(kItemList);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_SELECTED), LVIS_SELECTED) << "the selection came back";
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED), 0);
    // A list with rows is not deleted.
    q.command(1111);
    EXPECT_EQ(q.answerMessageBox("報告", 5000), "アイテムがあると、破棄しません");
    EXPECT_EQ(items(q).size(), 2u);
    q.clickTab(1);
    ASSERT_TRUE(waitUntil([&] { return items(q).size() == 1; }, 5000));
    shot(q, "two-lists");
}

TEST_F(MainWindow, CloseWaitsForTheTransferAndSavesTheItem) {
    presetDefaultList(testServers().http);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    std::string token = uniqueToken("e2e-close");
    ASSERT_TRUE(paste(q, "http://127.0.0.1/slow/" + token + "/2000000/close.bin\r\n", 1));
    q.selectRows({0});
    q.command(200);
    std::string path = folder + "download\\close.bin";
    ASSERT_TRUE(waitUntil([&] { return readFile(path).size() > 10000; }, 20000));
    shot(q, "downloading");
    EXPECT_TRUE(q.closeAndWait(30000));
    std::string saved = readFile(folder + "setting\\default.qvr");
    EXPECT_EQ(saved.rfind("http://127.0.0.1/slow/" + token + "/2000000/close.bin\r\r\n" + path + "\r\r\n", 0), 0u)
        << saved;
    std::string partial = readFile(path);
    EXPECT_TRUE(partial == contentBytes(0, static_cast<uint32_t>(partial.size())));
}

// A retry wait of ten minutes: a stop ends it at once, and so does closing the program.
TEST_F(MainWindow, StopAndCloseEndALongRetryWait) {
    CreateDirectoryA((folder + "setting").c_str(), nullptr);
    writeFile(folder + "setting\\default.ini", "[SETTING]\r\ntabName=default\r\ntabNo=0\r\nretryWaitTime=600\r\n"
                                                "maxTryNum=5\r\n[HTTP]\r\nport=" + std::to_string(testServers().http) + "\r\n");
    writeFile(folder + "setting\\default.qvr", "");
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://127.0.0.1/status/" + uniqueToken("e2e-wait") + "/503/wait.bin\r\n", 1));
    auto waitForTheRetry = [&] {
        q.selectRows({0});
        q.command(200);
        // The refused first try counts the second one and begins the wait.
        return waitUntil([&] { return cell(q, 0, TRIES) == "2/5"; }, 20000);
    };
    ASSERT_TRUE(waitForTheRetry());
    DWORD asked = GetTickCount();
    q.command(201);
    ASSERT_TRUE(waitUntil([&] { return logLineFromEnd(q, 1) == "info>停止"; }, 10000));
    EXPECT_LT(GetTickCount() - asked, 2000u);
    ASSERT_TRUE(waitForTheRetry());
    asked = GetTickCount();
    EXPECT_TRUE(q.closeAndWait(30000));
    EXPECT_LT(GetTickCount() - asked, 5000u);
}

// The popup menu of the item list (owner-drawn entries with pictures) and the drop-down of the settings
// button (two plain entries) must appear with their entries drawn and go away on Escape.
TEST_F(MainWindow, PopupAndDropDownMenusAreDrawn) {
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(paste(q, "http://h/menu.zip\r\n", 1));
    q.selectRows({0});
    auto showAndClose = [&](const char* name, size_t leastColours) {
        HWND menu = q.openMenu(5000);
        ASSERT_NE(menu, nullptr) << name << " did not appear";
        Sleep(300);  // let it paint
        RECT r;
        GetWindowRect(menu, &r);
        EXPECT_GT(r.bottom - r.top, 30) << name << " is too small for its entries";
        size_t colours = 0;
        std::string shots = screenshotFolder().empty() ? temp.path() : screenshotFolder();
        ASSERT_TRUE(saveWindowPicture(menu, shots + name + ".bmp", &colours)) << name;
        EXPECT_GE(colours, leastColours) << name << " shows no drawn entries";
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(menu); }, 5000)) << name << " stayed open";
        EXPECT_TRUE(q.settle());
    };
    q.rightClickRow(0);
    showAndClose("popup-menu", 16);  // the pictures bring their colours
    q.clickDropDown(400);
    showAndClose("drop-down-menu", 3);  // background, frame shade, text
}

TEST_F(MainWindow, PasteAndMovesDuringHeavyProgressNeverHang) {
    presetDefaultList(testServers().http, "maxDownloadNum=20\r\n");
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "http://127.0.0.1/slow/" + uniqueToken("busy") + "/4000000/busy" + std::to_string(i) + ".bin\r\n";
    ASSERT_TRUE(paste(q, text, 20));
    q.command(206);
    ASSERT_TRUE(waitUntil([&] { return cell(q, 19, FETCHED) != "0"; }, 20000));
    DWORD slowest = 0;
    for (int round = 0; round < 30; ++round) {
        putClipboardText("http://h/extra" + std::to_string(round) + "\r\n");
        q.command(242);
        ASSERT_TRUE(waitUntil([&] { return items(q).size() == 21u + round; }, 10000)) << "paste in round " << round;
        q.selectRows({round % 19 + 1});
        q.command(round % 2 ? 204 : 205);
        DWORD start = GetTickCount();
        DWORD_PTR result = 0;
        ASSERT_NE(SendMessageTimeoutA(q.window(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result), 0)
            << "the window stopped answering in round " << round;
        slowest = std::max(slowest, GetTickCount() - start);
    }
    EXPECT_EQ(items(q).size(), 50u);
    EXPECT_LT(slowest, 2000u);
    EXPECT_TRUE(q.closeAndWait(30000)) << "closing with 20 running transfers";
}

}  // namespace
