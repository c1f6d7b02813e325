#include "lists/item_lock.h"
#include <windows.h>

namespace {
CRITICAL_SECTION itemLock;
// The UI thread waits for the lock by trying it between the messages it carries out; the other
// threads stand back while it waits, or the scheduler, taking the lock for message after message,
// could keep it from ever getting a turn.
long uiWaiting = 0;
}

void initItemLock() { InitializeCriticalSection(&itemLock); }
void deleteItemLock() { DeleteCriticalSection(&itemLock); }
void enterItemLock() {
    while (__atomic_load_n(&uiWaiting, __ATOMIC_ACQUIRE) != 0) Sleep(1);
    EnterCriticalSection(&itemLock);
}
void leaveItemLock() { LeaveCriticalSection(&itemLock); }

void enterItemLockServicing() {
    if (TryEnterCriticalSection(&itemLock)) return;
    __atomic_add_fetch(&uiWaiting, 1, __ATOMIC_ACQ_REL);
    while (!TryEnterCriticalSection(&itemLock)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages
    }
    __atomic_sub_fetch(&uiWaiting, 1, __ATOMIC_ACQ_REL);
}
