#include "lists/item_lock.h"
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

}  // namespace
