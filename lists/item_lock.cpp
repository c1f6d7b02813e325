#include "lists/item_lock.h"
#include <windows.h>

namespace {
CRITICAL_SECTION itemLock;
}

void initItemLock() { InitializeCriticalSection(&itemLock); }
void deleteItemLock() { DeleteCriticalSection(&itemLock); }
void enterItemLock() { EnterCriticalSection(&itemLock); }
void leaveItemLock() { LeaveCriticalSection(&itemLock); }
