// Stands in for the main window around the real scheduler thread (for the scheduler tests and the
// scheduler benchmark).
#pragma once
#include "engine/thread_links.h"
#include "engine/transfer_events.h"
#include "lists/download_list.h"
#include "lists/item_lock.h"
#include "scheduler/scheduler.h"
#include <functional>
#include <gtest/gtest.h>
#include <windows.h>

// Stands in for the main window around the real scheduler thread: notes the WM_CLOSE that ends
// the exit, and lets a test wait for a condition under the item lock.
struct MainWindowStandIn {
    static inline int closes = 0;
    static inline bool threadsEndedAtClose = false;
    HWND window = nullptr;
    HANDLE scheduler = nullptr;

    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_CLOSE) {
            ++closes;
            threadsEndedAtClose = true;
            for (DownloadList& l : downloadLists)
                for (DownloadItem* i = l.head; i; i = i->next)
                    if (i->threadHandle) threadsEndedAtClose = false;
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }

    MainWindowStandIn() {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA c{};
            c.lpfnWndProc = proc;
            c.hInstance = GetModuleHandleA(nullptr);
            c.lpszClassName = "schedulerTestMain";
            RegisterClassA(&c);
            registered = true;
        }
        window = CreateWindowExA(0, "schedulerTestMain", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        closes = 0;
        schedulerMainWindow = window;
        schedulerThreadId = 0;
        scheduler = startScheduler();
        // Commands posted before the scheduler's queue exists would be lost.
        while (!PostThreadMessageA(schedulerThreadId, SCHED_READY, 0, 0)) Sleep(1);
    }
    ~MainWindowStandIn() {
        if (scheduler) {
            exitAndWait();
            CloseHandle(scheduler);
        }
        DestroyWindow(window);
    }
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    // Looks at `done` every `pauseMs` (0: as often as it can, forwarding host lookups at once).
    bool waitFor(const std::function<bool()>& done, DWORD ms = 20000, DWORD pauseMs = 5) {
        DWORD start = GetTickCount();
        for (;;) {
            pump();
            {
                ItemLockGuard lock;
                if (done()) return true;
            }
            if (GetTickCount() - start > ms) return false;
            Sleep(pauseMs);
        }
    }
    void exitAndWait() {
        postToScheduler(SCHED_EXIT, 0, 0);
        EXPECT_TRUE(waitFor([] { return closes > 0; }, 30000)) << "the scheduler never asked to close";
        EXPECT_EQ(WaitForSingleObject(scheduler, 10000), WAIT_OBJECT_0);
    }
};
