// The automatic save and exit of the real program, set up through its program settings dialog as a
// user would: the lists reach the disk at the interval while a transfer goes on, and at the exit
// time the program saves, ends its transfers and closes itself after the shutdown countdown, which
// the test cancels (a consented shutdown would end every program of this Wine session). A second
// program with the hang-up and no shutdown ends at the same time without asking anything, as there
// is no dial-up connection to hang up.
#include "tests/e2e/program_test.h"

namespace {

enum : int {
    EXIT = 2051, SHUTDOWN = 2052, AUTO_SAVE = 2053, HANG_UP = 2054, HOUR = 2012, MINUTE = 2013, INTERVAL = 2014,
    COUNTDOWN_TIME = 2003, CANCEL = 2,
};

struct ProgramTimers : ProgramTest {
    ProgramDialog dialog;
};

BOOL CALLBACK countQuestion(HWND window, LPARAM param) {
    auto* count = reinterpret_cast<std::pair<DWORD, int>*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char caption[16] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (process == count->first && IsWindowVisible(window) && std::string(caption) == "確認") ++count->second;
    return TRUE;
}

// How many questions "確認" the program shows at once.
int questionsShown(const QuovarProcess& q) {
    std::pair<DWORD, int> count{0, 0};
    GetWindowThreadProcessId(q.window(), &count.first);
    EnumWindows(countQuestion, reinterpret_cast<LPARAM>(&count));
    return count.second;
}

TEST_F(ProgramTimers, ListsAreSavedAtTheIntervalAndTheProgramEndsItselfAtTheExitTime) {
    presetDefaultList(testServers().http);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    q.command(510);
    ASSERT_TRUE(dialog.find(q, "バージョン情報")) << q.describeWindows();
    EXPECT_EQ(dialog.text(2002).rfind("Quovar", 0), 0u) << dialog.text(2002);
    dialog.picture("version");
    ASSERT_TRUE(dialog.close(IDCANCEL));

    std::string url = "http://127.0.0.1/slow/timers" + std::to_string(GetTickCount()) + "/4000000/slow.bin";
    ASSERT_TRUE(paste(q, url + "\r\n", 1));
    q.selectRows({0});
    q.command(200);

    q.command(401);
    ASSERT_TRUE(dialog.find(q, "プログラム設定")) << q.describeWindows();
    EXPECT_FALSE(IsWindowEnabled(dialog.at(HOUR)));
    clickButton(dialog.at(EXIT));
    EXPECT_TRUE(IsWindowEnabled(dialog.at(HOUR)));
    EXPECT_TRUE(IsWindowEnabled(dialog.at(HANG_UP)));
    clickButton(dialog.at(SHUTDOWN));
    EXPECT_FALSE(IsWindowEnabled(dialog.at(HANG_UP))) << "a shutdown always hangs up";
    // A whole minute more than the autosave interval ahead, so that the save comes first.
    SYSTEMTIME now;
    GetLocalTime(&now);
    int exitAt = now.wHour * 60 + now.wMinute + (now.wSecond <= 45 ? 2 : 3);
    dialog.type(HOUR, std::to_string(exitAt / 60 % 24));
    dialog.type(MINUTE, std::to_string(exitAt % 60));

    // A second program ends at the same time with the hang-up on and no shutdown. Under Wine the
    // dial-up functions are Wine's own and answer that there is no connection, so it must end
    // without asking to hang one up.
    std::string quiet = temp.path() + "HangUp\\";
    CreateDirectoryA(quiet.c_str(), nullptr);
    CreateDirectoryA((quiet + "setting").c_str(), nullptr);
    writeFile(quiet + "setting\\default.ini", "[SETTING]\r\ntabName=default\r\ntabNo=0\r\n");
    writeFile(quiet + "setting\\default.qvr", "");
    writeFile(quiet + "quovar.ini", "[TIMER]\r\nuseExitTimer=1\r\nwindowsShutdown=0\r\nuseRasHangUp=1\r\ntimeHour=" +
                                        std::to_string(exitAt / 60 % 24) + "\r\ntimeMinute=" + std::to_string(exitAt % 60) + "\r\n");
    QuovarProcess hangUp(quiet);
    ASSERT_TRUE(hangUp.started());
    bool hangUpAsked = false;
    auto watchHangUp = [&] {
        if (hangUp.running() && hangUp.findDialog("確認", 0)) hangUpAsked = true;
    };
    clickButton(dialog.at(AUTO_SAVE));
    dialog.type(INTERVAL, "1");
    dialog.picture("program-settings");
    ASSERT_TRUE(dialog.close(IDOK));

    // The autosave writes the item list while the transfer goes on.
    std::string itemList = folder + "setting\\default.qvr";
    ASSERT_TRUE(waitUntil([&] { return readFile(itemList).find(url) != std::string::npos; }, 80000))
        << q.describeWindows();
    std::string fetched = cell(q, 0, FETCHED);
    EXPECT_TRUE(waitUntil([&] { return cell(q, 0, FETCHED) != fetched; }, 5000)) << "the transfer stalled";

    HWND countdown = nullptr;
    ASSERT_TRUE(waitUntil([&] { return watchHangUp(), (countdown = q.findDialog("確認", 0)) != nullptr; }, 180000))
        << q.describeWindows();
    // Another program's close request while the question is up changes nothing: the close runs
    // once. (Run again, it would ask once more and then destroy the first question, which then
    // consented to the shutdown of this whole Wine session: the program is ended before that.)
    PostMessageA(q.window(), WM_CLOSE, 0, 0);
    Sleep(1500);
    int questions = questionsShown(q);
    if (questions != 1) q.kill();
    ASSERT_EQ(questions, 1) << q.describeWindows();
    EXPECT_EQ(controlText(dialogControl(countdown, COUNTDOWN_TIME)).rfind("TimeOutまで", 0), 0u);
    if (!screenshotFolder().empty()) saveWindowPicture(countdown, screenshotFolder() + "countdown.bmp");
    std::string text = q.answerMessageBox("確認", 1000, CANCEL);
    EXPECT_NE(text.find("Windowsをシャットダウンします"), std::string::npos) << text;
    ASSERT_TRUE(waitUntil([&] { return watchHangUp(), !q.running(); }, 20000)) << "the program ends without the shutdown";
    EXPECT_TRUE(waitUntil([&] { return watchHangUp(), !hangUp.running(); }, 20000)) << hangUp.describeWindows();
    EXPECT_FALSE(hangUpAsked) << "asked to hang up with no connection";

    std::string settings = readFile(folder + "quovar.ini");
    for (const std::string& line : std::vector<std::string>{"useExitTimer=1", "windowsShutdown=1", "useAutoSave=1", "autoSaveTime=1",
                             "timeMinute=" + std::to_string(exitAt % 60)})
        EXPECT_NE(settings.find(line + "\r\n"), std::string::npos) << line << " in\n" << settings;
    EXPECT_NE(readFile(itemList).find(url), std::string::npos);
}

// Settings applied in the program settings dialog while the program closes reach the file: the
// close saved everything before the user pressed "更新", and nothing saves after it.
TEST_F(ProgramTimers, SettingsAppliedWhileTheProgramClosesAreWritten) {
    // A transfer whose logout is never answered holds the close for a few seconds.
    std::string token = "closing" + std::to_string(GetTickCount());
    presetUnansweredLogout(token);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(startUntilLogout(q, "ftp://127.0.0.1/closing.bin", token)) << q.describeWindows();

    q.command(401);
    ASSERT_TRUE(dialog.find(q, "プログラム設定")) << q.describeWindows();
    PostMessageA(q.window(), WM_CLOSE, 0, 0);
    std::string itemList = folder + "setting\\default.qvr";
    ASSERT_TRUE(waitUntil([&] { return readFile(itemList).find("closing.bin") != std::string::npos; }, 10000));
    dialog.type(HOUR, "23");
    dialog.type(MINUTE, "45");
    ASSERT_TRUE(dialog.close(IDOK)) << q.describeWindows();
    ASSERT_TRUE(waitUntil([&] { return !q.running(); }, 30000)) << q.describeWindows();
    std::string settings = readFile(folder + "quovar.ini");
    for (const char* line : {"timeHour=23\r\n", "timeMinute=45\r\n"})
        EXPECT_NE(settings.find(line), std::string::npos) << line << " in\n" << settings;
}

}  // namespace
