#include "lists/item_lock.h"
#include "common/message_box.h"
#include <windows.h>

namespace {
CRITICAL_SECTION itemLock;
// The UI thread waits for the lock by trying it between the messages it carries out; the other
// threads stand back while it waits, or the scheduler, taking the lock for message after message,
// could keep it from ever getting a turn.
long uiWaiting = 0;
// How often the calling thread holds the lock already. A thread that holds it takes it again at
// once: standing back then would leave the waiting UI thread waiting for it, and it for the UI.
thread_local int held = 0;
}

void initItemLock() { InitializeCriticalSection(&itemLock); }
void deleteItemLock() { DeleteCriticalSection(&itemLock); }
void enterItemLock() {
    if (held == 0)
        while (__atomic_load_n(&uiWaiting, __ATOMIC_ACQUIRE) != 0) Sleep(1);
    EnterCriticalSection(&itemLock);
    ++held;
    holdMessages();
}
void leaveItemLock() {
    --held;
    LeaveCriticalSection(&itemLock);
    releaseMessages();  // a box waits for the user: only once the lock is free
}

void enterItemLockServicing() {
    if (!TryEnterCriticalSection(&itemLock)) {
        __atomic_add_fetch(&uiWaiting, 1, __ATOMIC_ACQ_REL);
        while (!TryEnterCriticalSection(&itemLock)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages
        }
        __atomic_sub_fetch(&uiWaiting, 1, __ATOMIC_ACQ_REL);
    }
    ++held;
    holdMessages();
}
