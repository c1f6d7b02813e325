#include "ui/program_timers.h"
#include "common/message_box.h"
#include "engine/transfer_events.h"
#include "lists/program_settings.h"
#include "resources/resource.h"
#include "scheduler/scheduler.h"
#include "ui/countdown_dialog.h"
#include "ui/dial_up.h"
#include "ui/timer_plan.h"

namespace {

UINT_PTR exitTimer = 0;
UINT_PTR autoSaveTimer = 0;
bool finalPhase = false;
bool exitByTimer = false;
// Once the close has begun nothing arms a timer again: a re-armed exit timer would turn a close
// the user made into an exit by timer, with its hang-up and shutdown.
bool closing = false;
constexpr int kConfirmSeconds = 10;

void stop(HWND window, UINT_PTR& timer) {
    if (timer != 0) KillTimer(window, timer);
    timer = 0;
}

int secondsSinceMidnight() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
}

// Only an answer the user gave, or let the countdown give: a question that could not be shown,
// or that went with its owner, consents to nothing.
bool confirmed(HWND window, const char* text, int bitmap) {
    int answer = runCountdownDialog(window, text, bitmap, kConfirmSeconds);
    return answer == IDC_COUNTDOWN_OK || answer == COUNTDOWN_TIMED_OUT;
}

// Asks Windows to shut down. A process may do so only with the shutdown privilege switched on.
void shutDownWindows() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    ExitWindowsEx(EWX_SHUTDOWN, 0);
}

}  // namespace

void startProgramTimers(HWND window) {
    closing = false;
    exitByTimer = false;
    armExitTimer(window, false);
    armAutoSaveTimer(window);
}

void armExitTimer(HWND window, bool final) {
    stop(window, exitTimer);
    if (closing || programSettings.useExitTimer != 1) return;
    ExitTimerPlan plan =
        planExitTimer(programSettings.timeHour, programSettings.timeMinute, secondsSinceMidnight(), final);
    finalPhase = plan.finalPhase;
    exitTimer = SetTimer(window, kExitTimer, plan.intervalMs, nullptr);
    if (exitTimer == 0) showMessage("自動終了タイマー登録に失敗", kCaptionReport, noticeWarning());
}

void armAutoSaveTimer(HWND window) {
    stop(window, autoSaveTimer);
    if (closing || programSettings.useAutoSave != 1) return;
    autoSaveTimer = SetTimer(window, kAutoSaveTimer, autoSaveIntervalMs(programSettings.autoSaveTime), nullptr);
    if (autoSaveTimer == 0) showMessage("自動保存タイマー登録に失敗", kCaptionReport, noticeWarning());
}

void onProgramTimer(HWND window, UINT_PTR timer) {
    if (timer == kAutoSaveTimer) {
        postToScheduler(SCHED_SAVE_ALL, 0, 0);
    } else if (timer == kExitTimer && finalPhase) {
        stop(window, exitTimer);
        exitByTimer = true;
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else if (timer == kExitTimer) {
        armExitTimer(window, true);
    }
}

bool programClosing() { return closing; }

void onTimeChange(HWND window) {
    if (exitTimer != 0 && finalPhase) return;
    armExitTimer(window, false);
    armAutoSaveTimer(window);
}

void killProgramTimers(HWND window) {
    closing = true;
    stop(window, exitTimer);
    stop(window, autoSaveTimer);
}

void runExitActions(HWND window) {
    if (!exitByTimer) return;
    bool shutdown = programSettings.windowsShutdown == 1;
    if (shutdown) {
        hangUpAllConnections();  // a shutdown always hangs up first, without asking
    } else if (programSettings.useRasHangUp == 1) {
        int connections = 0;
        bool counted = countConnections(connections);
        if ((!counted || connections > 0) && confirmed(window, "回線を切断します   ", IDB_HANG_UP))
            hangUpAllConnections();
    }
    if (shutdown && confirmed(window, "Windowsをシャットダウンします   ", IDB_SHUTDOWN)) shutDownWindows();
}
