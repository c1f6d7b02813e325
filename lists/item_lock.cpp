#include "lists/item_lock.h"
#include <windows.h>

namespace {
CRITICAL_SECTION itemLock;
}

void initItemLock() { InitializeCriticalSection(&itemLock); }
void deleteItemLock() { DeleteCriticalSection(&itemLock); }
void enterItemLock() { EnterCriticalSection(&itemLock); }
void leaveItemLock() { LeaveCriticalSection(&itemLock); }

void enterItemLockServicing() {
    while (!TryEnterCriticalSection(&itemLock)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages
    }
}
