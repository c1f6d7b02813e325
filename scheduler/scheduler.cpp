#include "scheduler/scheduler.h"
#include "common/message_box.h"
#include "common/text.h"
#include "common/view.h"
#include "common/folder_create.h"
#include "engine/ftp_transfer.h"
#include "engine/http_transfer.h"
#include "engine/range_transfer.h"
#include "engine/server_name.h"
#include "engine/thread_links.h"
#include "engine/transfer_events.h"
#include "common/url_rules.h"
#include "lists/item_chain.h"
#include "lists/item_lock.h"
#include "lists/items.h"
#include "lists/save_all.h"
#include "lists/tab_strip.h"
#include "scheduler/log_display.h"
#include <mmsystem.h>
#include <process.h>
#include <string>

HWND schedulerMainWindow = nullptr;

namespace {

constexpr int kColumns = 7;
int columnDirection[kColumns];  // sort direction flag per column of the item list view
int32_t done = 0;  // scheduler thread writes it once, just before it ends

// The scheduler's own command that frees an item it unlinked. It goes to the back of the queue, so
// every message naming the item that was posted before (a transfer thread's last log lines, a second
// delete) is handled while the item still exists, and no new item can have its address yet.
constexpr uint32_t kFreeItem = 11;

// Items whose outcome waits for their transfer thread to end, and when they were last looked at.
int waitingItems = 0;
uint32_t lastWaitCheck = 0;

// What one item command changed; "activity" means a transfer started or ended.
struct Handling {
    bool activityChanged = false;
};

void postCommand(uint32_t command, DownloadItem& item) {
    postToScheduler(SCHED_ITEM_COMMAND, command, reinterpret_cast<LPARAM>(&item));
}

// Transfer threads read the state while the scheduler writes it.
void setState(DownloadItem& item, ItemState state) { sharedWrite(item.state, static_cast<uint8_t>(state)); }

bool hasThread(const DownloadItem& item) { return item.threadHandle != nullptr; }

bool stillRunning(const DownloadItem& item) {
    DWORD code = 0;
    return hasThread(item) && GetExitCodeThread(static_cast<HANDLE>(item.threadHandle), &code) && code == STILL_ACTIVE;
}

bool beingDeleted(const DownloadItem& item) { return item.state == DeleteRequested || item.state == Deleting; }

// Commands the scheduler posted to itself may name an item that a CMD_DELETE handled in between
// has freed; such a command is dropped without touching the item.
DownloadItem* liveItem(LPARAM value) {
    auto* wanted = reinterpret_cast<DownloadItem*>(value);
    // Lists just deleted are searched too: their last items are still being deleted.
    for (DownloadList& list : downloadLists)
        for (DownloadItem* item = list.head; item; item = item->next)
            if (item == wanted) return item;
    return nullptr;
}

// Keeps an outcome until the item's thread has ended (an FTP logout can take a while after it); a
// delete wins over any other outcome.
void awaitThreadEnd(DownloadItem& item, uint32_t command) {
    if (item.waitingOutcome == 0) ++waitingItems;
    if (item.waitingOutcome != CMD_DELETE + 1) item.waitingOutcome = static_cast<uint8_t>(command + 1);
}

void dropWaitingOutcome(DownloadItem& item) {
    if (item.waitingOutcome == 0) return;
    item.waitingOutcome = 0;
    --waitingItems;
}

void releaseThread(DownloadItem& item, DownloadList& list) {
    dropWaitingOutcome(item);
    CloseHandle(static_cast<HANDLE>(item.threadHandle));
    item.threadHandle = nullptr;
    item.threadId = 0;
    --list.runningCount;
}

// After the thread has ended: an empty save file is removed, any other is closed as it is.
void disposeOfTransfer(DownloadItem& item, DownloadList& list) {
    HANDLE file = static_cast<HANDLE>(item.fileHandle);
    DWORD high = 0;
    bool empty = file && GetFileSize(file, &high) == 0 && high == 0;
    if (file) CloseHandle(file);
    item.fileHandle = nullptr;
    if (empty && !DeleteFileA(item.savePath)) showSystemError();
    releaseThread(item, list);
}

// The refresh limit of the transfer threads may have dropped their last refresh: once the thread
// has ended, the row shows the counters as the file has them.
void showFinalCounters(DownloadItem& item) { view->updateProgress(item); }

unsigned __stdcall runHttp(void* item) { return httpTransfer(item); }
unsigned __stdcall runFtp(void* item) { return ftpTransfer(item); }

void startItem(DownloadItem& item, DownloadList& list, Handling& h) {
    if (beingDeleted(item)) return;
    if (currentRunState() != RUN_RUNNING) return;
    setState(item, Starting);
    h.activityChanged = true;
    if (item.ftpRedirect != 1) {
        appendLogLineCopy(item, "info>開始");
        appendLogLineCopy(item, std::string("info>保存名 ") + item.saveName + " " + nameSourceText(item.nameSource));
    }

    std::string folder = folderOfPath(textOf(item.savePath));
    if (!createFolderPath(folder.c_str())) {
        item.failStage = STAGE_FOLDER_CREATE;
        postCommand(CMD_FAILED, item);
        return;
    }
    HANDLE file = openSaveFile(item.savePath, list.hidden == 1);
    if (file == INVALID_HANDLE_VALUE) {
        item.failStage = STAGE_FILE_OPEN;
        postCommand(CMD_FAILED, item);
        return;
    }
    item.fileHandle = file;
    // Pasted URLs keep the case they were written in: "HTTPS://" is an HTTP URL too.
    bool ftp = item.ftpRedirect == 1 || (item.url[0] != 'h' && item.url[0] != 'H');
    unsigned id = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, ftp ? runFtp : runHttp, &item, 0, &id);
    if (!thread) {
        CloseHandle(file);
        item.fileHandle = nullptr;
        item.failStage = STAGE_THREAD_CREATE;
        postCommand(CMD_FAILED, item);
        return;
    }
    item.threadHandle = reinterpret_cast<HANDLE>(thread);
    item.threadId = id;
    postCommand(CMD_RUNNING, item);
    ++list.runningCount;
}

DownloadItem* firstQueued(DownloadList& list) {
    for (DownloadItem* item = list.head; item; item = item->next)
        if (item->state == Queued) return item;
    return nullptr;
}

int listSlot(const DownloadList& list) { return static_cast<int>(&list - downloadLists); }

void closingSteps(DownloadItem& item, DownloadList& list, uint32_t command, Handling& h) {
    if (command != CMD_DELETE && item.state != Starting && item.state != Deleting && &list == currentList)
        view->updateIcon(item);
    while (h.activityChanged) {
        h.activityChanged = false;
        if (list.busyMark == 1 && list.runningCount == 0) {
            view->setTabImage(listSlot(list), 0);
            list.busyMark = 0;
        } else if (list.busyMark != 1 && list.runningCount != 0) {
            view->setTabImage(listSlot(list), 1);
            list.busyMark = 1;
        }
        if (currentRunState() != RUN_RUNNING || list.runningCount >= list.maxDownloadNum) break;
        if (DownloadItem* next = firstQueued(list)) startItem(*next, list, h);
    }
}

void appendFinishLines(DownloadItem& item, const char* line) {
    appendLogLineCopy(item, line);
    appendLogLineCopy(item, "");
}

// One item command. Returns after the closing steps, or at once for a skipped command.
void handleItemCommand(uint32_t command, DownloadItem& item) {
    DownloadList& list = downloadLists[item.listIndex];
    Handling h;
    if (command != CMD_DELETE && beingDeleted(item)) {
        // A delete asked for after the thread's last look at the state: the thread ends with its
        // own outcome and never acknowledges the delete, so the scheduler does it in its place.
        bool outcome = command == CMD_STOPPED || command == CMD_SUCCEEDED || command == CMD_FAILED ||
                       command == CMD_REDIRECT_FTP;
        if (outcome && item.state == DeleteRequested && hasThread(item)) awaitThreadEnd(item, CMD_DELETE);
        return;
    }
    switch (command) {
    case CMD_STOPPED:
        if (stillRunning(item)) {
            awaitThreadEnd(item, command);
            break;
        }
        if (hasThread(item)) {
            disposeOfTransfer(item, list);
            h.activityChanged = true;
            showFinalCounters(item);
            appendFinishLines(item, "info>停止");
        }
        setState(item, Idle);
        break;
    case CMD_START:
        if (item.state == Idle || item.state == Queued) {
            setState(item, Queued);
            if (list.runningCount < list.maxDownloadNum) startItem(item, list, h);
        }
        break;
    case CMD_RUNNING:
        // A stop or delete handled since the start must stay visible to the thread.
        if (item.state == Starting) setState(item, Downloading);
        break;
    case CMD_SUCCEEDED:
        if (stillRunning(item)) {
            awaitThreadEnd(item, command);
            break;
        }
        if (item.fileHandle) CloseHandle(static_cast<HANDLE>(item.fileHandle));
        item.fileHandle = nullptr;
        SetFileAttributesA(item.savePath, FILE_ATTRIBUTE_NORMAL);
        // Left from ranges given up, or from a list since set to one connection.
        discardRangeFiles(list, item);
        if (hasThread(item)) releaseThread(item, list);
        h.activityChanged = true;
        showFinalCounters(item);
        setState(item, Finished);
        appendFinishLines(item, "info>成功");
        break;
    case CMD_FAILED:
        if (hasThread(item)) {
            if (stillRunning(item)) {
                awaitThreadEnd(item, command);
                break;
            }
            disposeOfTransfer(item, list);
            h.activityChanged = true;
            showFinalCounters(item);
        }
        appendFinishLines(item, (std::string("info>失敗 (") + stageText(item.failStage)).c_str());
        setState(item, Failed);
        break;
    case CMD_STOP:
        if (hasThread(item)) {
            setState(item, StopRequested);
        } else if (item.state == Queued || item.state == Downloading || item.state == Failed) {
            setState(item, StopRequested);
            postCommand(CMD_STOPPED, item);
        }
        break;
    case CMD_START_NOW: startItem(item, list, h); break;
    case CMD_START_AT_ONCE:
        if ((item.viewState & kRowSelected) &&
            (item.state == Idle || item.state == Queued || item.state == Finished || item.state == Failed)) {
            setState(item, StartNowRequested);
            postCommand(CMD_START_NOW, item);
        }
        break;
    case CMD_DELETE:
        setState(item, Deleting);
        if (hasThread(item)) {
            if (stillRunning(item)) {
                awaitThreadEnd(item, command);
                break;
            }
            disposeOfTransfer(item, list);
            h.activityChanged = true;
        }
        closingSteps(item, list, command, h);
        if (itemPosition(list, &item) >= 0) {
            view->refreshCommands();
            unlinkItem(list, &item);
            discardRangeFiles(list, item);
            if (list.logItem == &item) list.logItem = nullptr;
            postToScheduler(SCHED_ITEM_COMMAND, kFreeItem, reinterpret_cast<LPARAM>(&item));
        }
        return;
    case CMD_REDIRECT_FTP:
        if (stillRunning(item)) {
            awaitThreadEnd(item, command);
            break;
        }
        disposeOfTransfer(item, list);
        h.activityChanged = true;
        setState(item, Redirecting);
        appendLogLineCopy(item, "info>リダイレクト");
        item.ftpRedirect = 1;
        postCommand(CMD_START_NOW, item);
        break;
    default: break;
    }
    closingSteps(item, list, command, h);
}

void broadcast(uint32_t wParam) {
    uint32_t command = wParam & 0xFFFF;
    bool selectedOnly = (wParam >> 16) != 0;
    if (selectedOnly) syncSelectionMarks(*view);
    for (DownloadItem* item = currentList->head; item; item = item->next)
        if (!selectedOnly || (item->viewState & kRowSelected)) postCommand(command, *item);
}

void markForDeletion(bool finishedOnly) {
    bool marked = false;
    if (!finishedOnly) syncSelectionMarks(*view);
    for (DownloadItem* item = currentList->head; item; item = item->next) {
        if (finishedOnly) {
            if (item->state != Finished) continue;
            setState(*item, DeleteRequested);
            postCommand(CMD_DELETE, *item);
        } else {
            if (!(item->viewState & kRowSelected) || item->state == StopRequested || beingDeleted(*item)) continue;
            setState(*item, DeleteRequested);
            // A running thread sees the request, ends and acknowledges it itself.
            if (!hasThread(*item)) postCommand(CMD_DELETE, *item);
        }
        marked = true;
    }
    if (marked) view->rebuildRows(*currentList);
}

void sortRows(int column) {
    if (column < 0 || column >= kColumns) return;
    syncSelectionMarks(*view);
    if (!view->sortRows(column, columnDirection[column])) return;
    int rows = view->rowCount();
    if (rows > 0) {
        // Items waiting for deletion have no row; they keep their place at the end of the chain.
        DownloadItem* hidden = nullptr;
        DownloadItem** hiddenTail = &hidden;
        for (DownloadItem* item = currentList->head; item; item = item->next)
            if (!hasRow(*item)) {
                *hiddenTail = item;
                hiddenTail = &item->next;
            }
        *hiddenTail = nullptr;
        DownloadItem** link = &currentList->head;
        for (int row = 0; row < rows; ++row) {
            *link = view->itemAtRow(row);
            link = &(*link)->next;
        }
        *link = hidden;
    }
    columnDirection[column] = columnDirection[column] == 1 ? 0 : 1;
}

void handleMessage(const MSG& msg) {
    switch (msg.message) {
    case SCHED_READY: break;
    case SCHED_ITEM_COMMAND:
        if (msg.lParam == 0) {
            broadcast(static_cast<uint32_t>(msg.wParam));
        } else if (msg.wParam == kFreeItem) {
            freeItem(reinterpret_cast<DownloadItem*>(msg.lParam));
        } else if (DownloadItem* item = liveItem(msg.lParam)) {
            handleItemCommand(static_cast<uint32_t>(msg.wParam), *item);
        }
        break;
    case SCHED_SET_LOG_ITEM: {
        auto* item = reinterpret_cast<DownloadItem*>(msg.wParam);
        currentList->logItem = itemPosition(*currentList, item) >= 0 ? item : nullptr;
        showItemLog();
        break;
    }
    case SCHED_DELETE: markForDeletion(msg.lParam == 1); break;
    case SCHED_EXIT:
        setRunState(RUN_EXITING);
        for (DownloadList& list : downloadLists)
            if (list.inUse)
                for (DownloadItem* item = list.head; item; item = item->next) postCommand(CMD_STOP, *item);
        break;
    case SCHED_PROGRESS: {
        auto& item = *reinterpret_cast<DownloadItem*>(msg.lParam);
        __atomic_store_n(&item.progressPending, uint8_t{0}, __ATOMIC_RELEASE);
        view->updateProgress(item);
        break;
    }
    case SCHED_LOG_LINE:
        appendAdoptedLogLine(*reinterpret_cast<DownloadItem*>(msg.lParam), reinterpret_cast<char*>(msg.wParam));
        break;
    case SCHED_SAVE_ALL: saveAll(SaveCaller::Scheduler); break;
    case SCHED_EDIT_ITEM: {
        DownloadItem* item = currentList->logItem;
        if (item && !beingDeleted(*item))
            PostMessageA(schedulerMainWindow, SCHED_EDIT_ITEM, 0, reinterpret_cast<LPARAM>(item));
        break;
    }
    case SCHED_SWITCH_LIST: switchToSelectedList(); break;
    case SCHED_SETTINGS_CHANGED:
        for (DownloadItem* item = currentList->head; item; item = item->next) {
            if (item->state != Queued) continue;
            item->maxTry = currentList->maxTryNum;
            view->updateTries(*item);
            postCommand(CMD_START, *item);
        }
        break;
    case SCHED_SORT: sortRows(static_cast<int>(msg.lParam)); break;
    }
}

// Every list counts, closed ones too: the exit waits for the threads of items still being deleted.
int runningTransfers() {
    int running = 0;
    for (const DownloadList& list : downloadLists) running += list.runningCount;
    return running;
}

// Handles the outcomes that waited for their threads, once those have ended; at the scheduler's
// pace (every 10 ms at most), so that a long logout costs it nothing between looks.
void handleEndedThreads() {
    uint32_t now = timeGetTime();
    if (waitingItems == 0 || now - lastWaitCheck < 10) return;
    lastWaitCheck = now;
    ItemLockGuard lock;
    for (DownloadList& list : downloadLists) {
        for (DownloadItem* item = list.head; item && waitingItems > 0;) {
            DownloadItem* next = item->next;
            if (item->waitingOutcome != 0 && !stillRunning(*item)) {
                uint32_t command = item->waitingOutcome - 1u;
                dropWaitingOutcome(*item);
                handleItemCommand(command, *item);
            }
            item = next;
        }
    }
}

unsigned __stdcall schedulerThread(void*) {
    while (__atomic_load_n(&schedulerThreadId, __ATOMIC_ACQUIRE) == 0) Sleep(0);
    view->setStatusText("スレッド・メッセージ・キュー作成");
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // a thread has a queue once it looks at it
    while (!PostThreadMessageA(schedulerThreadId, SCHED_READY, 0, 0)) Sleep(0);
    view->setStatusText("");
    for (;;) {
        if (PeekMessageA(&msg, nullptr, SCHED_READY, SCHED_SORT, PM_REMOVE)) {
            ItemLockGuard lock;
            handleMessage(msg);
        } else {
            Sleep(10);
        }
        handleEndedThreads();
        // While exiting, the thread ends once no transfer runs and its queue is drained (so that
        // queued items have become idle before the window goes).
        if (currentRunState() == RUN_EXITING && runningTransfers() == 0 &&
            !PeekMessageA(&msg, nullptr, SCHED_READY, SCHED_SORT, PM_NOREMOVE)) {
            __atomic_store_n(&done, 1, __ATOMIC_RELEASE);
            PostMessageA(schedulerMainWindow, WM_CLOSE, 0, 0);
            return 0;
        }
    }
}

}  // namespace

void postToScheduler(uint32_t message, WPARAM wParam, LPARAM lParam) {
    PostThreadMessageA(schedulerThreadId, message, wParam, lParam);
}

bool schedulerDone() { return __atomic_load_n(&done, __ATOMIC_ACQUIRE) != 0; }

HANDLE startScheduler() {
    setRunState(RUN_RUNNING);
    waitingItems = 0;
    __atomic_store_n(&done, 0, __ATOMIC_RELEASE);
    for (int& direction : columnDirection) direction = 0;
    unsigned id = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, schedulerThread, nullptr, 0, &id);
    if (thread) __atomic_store_n(&schedulerThreadId, id, __ATOMIC_RELEASE);
    return reinterpret_cast<HANDLE>(thread);
}

void switchToSelectedList() {
    int slot = tabStrip ? tabStrip->slotAt(currentTabIndex) : 0;
    if (slot < 0 || slot >= kListSlots || !downloadLists[slot].inUse) return;
    currentList = &downloadLists[slot];
    view->showList(*currentList);
    showItemLog();
}
