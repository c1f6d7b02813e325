// The countdown dialog, answered by a timer of the test from inside the dialog's own message loop.
#include "resources/resource.h"
#include "tests/ui/test_window.h"
#include "ui/countdown_dialog.h"
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <windows.h>

namespace {

HWND findDialog() { return findOwnWindow("#32770", "確認"); }

// Calls `action` with the dialog once it is shown (looked for every 50 ms, for at most 5 s): on a
// busy machine a dialog can take longer to appear than any fixed delay.
void whenShown(std::function<void(HWND)> action, int looksLeft = 100) {
    callLater(50, [action = std::move(action), looksLeft]() mutable {
        if (HWND dialog = findDialog()) action(dialog);
        else if (looksLeft > 0) whenShown(std::move(action), looksLeft - 1);
    });
}

std::string textOf(HWND dialog, int control) {
    char text[128] = {};
    GetDlgItemTextA(dialog, control, text, sizeof text);
    return text;
}

// What a click on the button sends. (BM_CLICK does the same but, without a window manager, waits
// two seconds for the focus under Wine.)
void click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    EXPECT_TRUE(button && IsWindowEnabled(button)) << "button " << id;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

struct Seen {
    bool found = false;
    std::string message, remaining;
    RECT place{};
    bool topmost = false;
    bool bigIcon = false;
};

struct CountdownDialog : ::testing::Test {
    void TearDown() override { cancelPendingCalls(); }
};

Seen look(HWND dialog) {
    Seen seen;
    seen.found = dialog != nullptr;
    if (!dialog) return seen;
    seen.message = textOf(dialog, IDC_COUNTDOWN_MESSAGE);
    seen.remaining = textOf(dialog, IDC_COUNTDOWN_TIME);
    GetWindowRect(dialog, &seen.place);
    seen.topmost = (GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    seen.bigIcon = SendMessageA(dialog, WM_GETICON, ICON_BIG, 0) != 0;
    return seen;
}

TEST_F(CountdownDialog, Countdown_RunsOutAfterItsSecondsAndAnswers4021) {
    TestWindow owner;
    Seen seen;
    callLater(300, [&] { seen = look(findDialog()); });
    // A countdown that never ends is answered with キャンセル, so the test fails instead of hanging.
    callLater(6000, [] {
        if (HWND dialog = findDialog()) click(dialog, IDC_COUNTDOWN_CANCEL);
    });
    DWORD start = GetTickCount();
    int answer = runCountdownDialog(owner.window, "回線を切断します   ", IDB_HANG_UP, 1);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(answer, COUNTDOWN_TIMED_OUT);
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 5000u);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.message, "回線を切断します   ");
    EXPECT_EQ(seen.remaining, "TimeOutまで  1 秒");
    EXPECT_TRUE(seen.topmost);
    EXPECT_TRUE(seen.bigIcon);
}

TEST_F(CountdownDialog, Countdown_ShowsTheSecondsLeftAsTheyPass) {
    TestWindow owner;
    std::string first, later;
    whenShown([&](HWND dialog) {
        first = textOf(dialog, IDC_COUNTDOWN_TIME);
        callLater(1300, [&] {
            HWND dialog = findDialog();
            later = textOf(dialog, IDC_COUNTDOWN_TIME);
            click(dialog, IDC_COUNTDOWN_CANCEL);
        });
    });
    EXPECT_EQ(runCountdownDialog(owner.window, "Windowsをシャットダウンします   ", IDB_SHUTDOWN, 10), IDC_COUNTDOWN_CANCEL);
    EXPECT_EQ(first, "TimeOutまで 10 秒");
    EXPECT_EQ(later, "TimeOutまで  9 秒");
}

TEST_F(CountdownDialog, Answer_OkIs6AndCancelIs2) {
    TestWindow owner;
    whenShown([](HWND dialog) { click(dialog, IDC_COUNTDOWN_OK); });
    EXPECT_EQ(runCountdownDialog(owner.window, "2個の選択状態のアイテムを削除します", IDB_CONFIRM_DELETE, 0), 6);
    whenShown([](HWND dialog) { click(dialog, IDC_COUNTDOWN_CANCEL); });
    EXPECT_EQ(runCountdownDialog(owner.window, "2個の選択状態のアイテムを削除します", IDB_CONFIRM_DELETE, 0), 2);
    whenShown([](HWND dialog) { click(dialog, IDC_COUNTDOWN_OK); });
    EXPECT_EQ(runCountdownDialog(owner.window, "回線を切断します   ", IDB_HANG_UP, 10), 6) << "ＯＫ before the time is up";
}

TEST_F(CountdownDialog, Buttons_OkAndCancelWithTheirTexts) {
    TestWindow owner;
    std::string ok, cancel;
    whenShown([&](HWND dialog) {
        ok = textOf(dialog, IDC_COUNTDOWN_OK);
        cancel = textOf(dialog, IDC_COUNTDOWN_CANCEL);
        click(dialog, IDC_COUNTDOWN_CANCEL);
    });
    runCountdownDialog(owner.window, "削除します", IDB_CONFIRM_DELETE, 0);
    EXPECT_EQ(ok, "ＯＫ");
    EXPECT_EQ(cancel, "キャンセル");
}

TEST_F(CountdownDialog, NoCountdown_WaitsForAnAnswerWithAnEmptyCountdownLine) {
    TestWindow owner;
    Seen seen;
    callLater(1500, [&] {
        HWND dialog = findDialog();
        seen = look(dialog);
        click(dialog, IDC_COUNTDOWN_CANCEL);
    });
    EXPECT_EQ(runCountdownDialog(owner.window, "3個の選択状態のアイテムを切り取ります", IDB_CONFIRM_CUT, 0), 2);
    ASSERT_TRUE(seen.found) << "the dialog ended before anyone answered";
    EXPECT_EQ(seen.remaining, "");
    EXPECT_EQ(seen.message, "3個の選択状態のアイテムを切り取ります");
}

TEST_F(CountdownDialog, Place_NextToTheCursorOrAboveTheMiddleForShutdown) {
    // The cursor is where it happens to be: other programs on the display may rely on it.
    TestWindow owner;
    POINT cursor{};
    GetCursorPos(&cursor);
    Seen beside;
    whenShown([&](HWND dialog) {
        beside = look(dialog);
        click(dialog, IDC_COUNTDOWN_OK);
    });
    runCountdownDialog(owner.window, "切り取ります", IDB_CONFIRM_CUT, 0);
    EXPECT_EQ(beside.place.left, cursor.x - 64 < 0 ? 0 : cursor.x - 64);
    EXPECT_EQ(beside.place.top, cursor.y);

    Seen shutdown;
    whenShown([&](HWND dialog) {
        shutdown = look(dialog);
        click(dialog, IDC_COUNTDOWN_CANCEL);
    });
    runCountdownDialog(owner.window, "Windowsをシャットダウンします   ", IDB_SHUTDOWN, 10);
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    int width = shutdown.place.right - shutdown.place.left;
    int height = shutdown.place.bottom - shutdown.place.top;
    EXPECT_EQ(shutdown.place.left, (desktop.right - width) / 2);
    EXPECT_EQ(shutdown.place.top, (desktop.bottom - height) / 2 - height);
}

}  // namespace
