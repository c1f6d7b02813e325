// The one process-wide lock over the lists and items. The scheduler holds it for each message it
// handles; a transfer thread only for its start-up copy; the UI thread only at the very end.
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
