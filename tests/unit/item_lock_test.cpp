#include "lists/item_lock.h"
#include "tests/unit/message_recorder.h"
#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct Race {
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE uiHasIt = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

// A transfer thread holds the lock and, while the UI thread waits for it, takes it once more (a row
// update inside its start-up copy). It must get it at once and go on, and the UI thread after it.
DWORD WINAPI holderTakingItAgain(LPVOID param) {
    auto* race = static_cast<Race*>(param);
    enterItemLock();
    SetEvent(race->held);
    Sleep(200);  // the UI thread is waiting by now
    enterItemLock();
    leaveItemLock();
    leaveItemLock();
    return 0;
}

DWORD WINAPI uiThread(LPVOID param) {
    auto* race = static_cast<Race*>(param);
    WaitForSingleObject(race->held, INFINITE);
    enterItemLockServicing();
    SetEvent(race->uiHasIt);
    leaveItemLock();
    return 0;
}

TEST(ItemLock, HolderTakesItAgainWhileTheUiThreadWaits) {
    initItemLock();
    Race race;
    HANDLE threads[] = {CreateThread(nullptr, 0, holderTakingItAgain, &race, 0, nullptr),
                        CreateThread(nullptr, 0, uiThread, &race, 0, nullptr)};
    ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 5000), WAIT_OBJECT_0) << "the two threads wait for each other";
    EXPECT_EQ(WaitForSingleObject(race.uiHasIt, 0), WAIT_OBJECT_0);
    for (HANDLE h : threads) CloseHandle(h);
    CloseHandle(race.held);
    CloseHandle(race.uiHasIt);
}

DWORD WINAPI reportUnderTheLock(LPVOID) {
    ItemLockGuard lock;
    showMessage("from another thread", kCaptionReport, MB_OK);
    return 0;
}

LRESULT CALLBACK reportWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SHOW_REPORT) return DefWindowProcA(window, message, wParam, lParam);
    showPostedReport(lParam);
    return 0;
}

TEST(ItemLock, NoBoxWhileItIsHeldAndOtherThreadsBoxesGoToTheReportWindow) {
    initItemLock();
    MessageRecorder messages;
    {
        ItemLockGuard lock;
        showMessage("held back", kCaptionReport, MB_OK);
        EXPECT_TRUE(messages.messages().empty()) << "a box while the lock is held";
    }
    ASSERT_EQ(messages.messages().size(), 1u) << "shown once the lock is free";

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = reportWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "reportWindowTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "reportWindowTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    setReportWindow(window);
    HANDLE other = CreateThread(nullptr, 0, reportUnderTheLock, nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(other, 5000), WAIT_OBJECT_0) << "the thread waited for its box";
    CloseHandle(other);
    EXPECT_EQ(messages.messages().size(), 1u);
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    ASSERT_EQ(messages.messages().size(), 2u) << "the report window's thread shows it";
    EXPECT_EQ(messages.messages()[1].text, "from another thread");
    setReportWindow(nullptr);
    DestroyWindow(window);
}

}  // namespace
