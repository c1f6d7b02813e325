// The scheduler thread: the only place where items change state, where save files are opened and
// closed, and where transfer threads are started and disposed of. Everything reaches it as posted
// thread messages (engine/transfer_events.h) and it handles each one under the item lock.
#pragma once
#include <cstdint>
#include <windows.h>

// The main window: receiver of WM_CLOSE at the end and of SCHED_EDIT_ITEM (message 1034).
extern HWND schedulerMainWindow;

// Starts the scheduler thread; its id goes into schedulerThreadId. Returns its handle, or null.
HANDLE startScheduler();

// True once the scheduler has stopped every transfer and is about to end (it then posts WM_CLOSE
// to the main window), as opposed to a close request of the user's while it winds down.
bool schedulerDone();

// Posts a thread message to the scheduler.
void postToScheduler(uint32_t message, WPARAM wParam, LPARAM lParam);

// Makes the list of the selected tab current and shows it (title, rows, log). Runs once on the UI
// thread after the lists are loaded, and on the scheduler thread for every SCHED_SWITCH_LIST.
void switchToSelectedList();
