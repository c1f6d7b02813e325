// The one process-wide lock over the lists and items. The scheduler holds it for each message it
// handles; a transfer thread for its start-up copy and to note a validator; the UI thread only at
// the very end.
#pragma once

void initItemLock();
void deleteItemLock();
void enterItemLock();
void leaveItemLock();

class ItemLockGuard {
  public:
    ItemLockGuard() { enterItemLock(); }
    ~ItemLockGuard() { leaveItemLock(); }
    ItemLockGuard(const ItemLockGuard&) = delete;
    ItemLockGuard& operator=(const ItemLockGuard&) = delete;
};

// The UI thread's way to take the lock: while it waits it keeps carrying out the messages other
// threads send to its windows, so the scheduler (which holds the lock while it updates the
// windows) is never left waiting for the UI thread.
void enterItemLockServicing();

class UiItemLockGuard {
  public:
    UiItemLockGuard() { enterItemLockServicing(); }
    ~UiItemLockGuard() { leaveItemLock(); }
    UiItemLockGuard(const UiItemLockGuard&) = delete;
    UiItemLockGuard& operator=(const UiItemLockGuard&) = delete;
};
