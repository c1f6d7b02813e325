#include "common/text.h"
#include "engine/thread_links.h"
#include "engine/transfer_events.h"
#include "lists/item_chain.h"
#include "lists/item_lock.h"
#include "lists/items.h"
#include "lists/list_lifecycle.h"
#include "scheduler/scheduler.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/scheduler/main_window_stand_in.h"
#include "tests/unit/fake_tabs.h"
#include <functional>
#include <gtest/gtest.h>

namespace {

struct Scheduler : ::testing::Test {
    SchedulerStandIn stand;  // list, paths, view and servers
    FakeTabs tabs;
    std::unique_ptr<MainWindowStandIn> main;

    void SetUp() override {
        ASSERT_NE(testServers().http, 0);
        tabs.insert(0, "test", 0, 0);
        tabStrip = &tabs;
        currentTabIndex = 0;
        stand.list().HTTP.port = testServers().http;
        stand.list().maxTryNum = 1;
    }
    void TearDown() override {
        main.reset();
        tabStrip = nullptr;
    }
    void start() { main = std::make_unique<MainWindowStandIn>(); }

    DownloadItem* item(const std::string& scenario, uint32_t size, const std::string& name) {
        return createItem(0, 0, "http://127.0.0.1/" + scenario + "/" + uniqueToken(name.c_str()) + "/" +
                                    std::to_string(size) + "/" + name);
    }
    void startAll() { postToScheduler(SCHED_ITEM_COMMAND, CMD_START, 0); }
    static int count(uint8_t state) {
        int n = 0;
        for (DownloadItem* i = downloadLists[0].head; i; i = i->next)
            if (i->state == state) ++n;
        return n;
    }
    static std::vector<std::string> logOf(const DownloadItem* item) {
        std::vector<std::string> lines;
        for (const LogLine* l = item->logHead; l; l = l->next) lines.push_back(l->text);
        return lines;
    }
    static int linesStarting(const DownloadItem* item, const std::string& prefix) {
        int n = 0;
        for (const std::string& l : logOf(item))
            if (l.rfind(prefix, 0) == 0) ++n;
        return n;
    }
};

TEST_F(Scheduler, OneSlotRunsOneItemAndQueuesTheRest) {
    DownloadItem* a = item("slow", 8000, "a.bin");
    DownloadItem* b = item("slow", 8000, "b.bin");
    DownloadItem* c = item("slow", 8000, "c.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return a->state == Downloading; }));
    {
        ItemLockGuard lock;
        EXPECT_EQ(b->state, Queued);
        EXPECT_EQ(c->state, Queued);
        EXPECT_EQ(stand.list().runningCount, 1);
        EXPECT_EQ(stand.recorder.tabImages[0], 1) << "the tab shows the busy image";
    }
    int mostRunning = 0;
    ASSERT_TRUE(main->waitFor([&] {
        mostRunning = std::max(mostRunning, stand.list().runningCount);
        return count(Finished) == 3;
    }));
    EXPECT_EQ(mostRunning, 1);
    EXPECT_EQ(stand.recorder.tabImages[0], 0);
    for (DownloadItem* i : {a, b, c}) {
        EXPECT_EQ(logOf(i).front(), "info>開始");
        EXPECT_EQ(linesStarting(i, "info>成功"), 1);
        EXPECT_EQ(logOf(i).back(), "");
        EXPECT_EQ(readFile(i->savePath), contentBytes(0, 8000));
        DWORD attributes = GetFileAttributesA(i->savePath);
        EXPECT_FALSE(attributes & FILE_ATTRIBUTE_HIDDEN) << "a finished file is made visible";
    }
}

TEST_F(Scheduler, RaisingTheLimitStartsQueuedItemsAtOnce) {
    for (const char* n : {"a", "b", "c"}) item("slow", 400000, n);
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return count(Downloading) == 1 && count(Queued) == 2; }));
    {
        ItemLockGuard lock;
        stand.list().maxDownloadNum = 3;
        stand.list().maxTryNum = 4;
    }
    postToScheduler(SCHED_SETTINGS_CHANGED, 0, 0);
    ASSERT_TRUE(main->waitFor([&] { return count(Downloading) == 3; }, 3000));
    EXPECT_EQ(downloadLists[0].head->next->maxTry, 4u);
}

TEST_F(Scheduler, StopAllIdlesQueuedAtOnceAndRunningWhenTheirThreadsEnd) {
    DownloadItem* running = item("slow", 400000, "run.bin");
    DownloadItem* queued = item("slow", 400000, "q.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return running->state == Downloading && running->fetchedSize > 2000; }));
    postToScheduler(SCHED_ITEM_COMMAND, CMD_STOP, 0);
    ASSERT_TRUE(main->waitFor([&] { return queued->state == Idle; }, 2000));
    ASSERT_TRUE(main->waitFor([&] { return running->state == Idle; }, 3000));
    ItemLockGuard lock;
    EXPECT_EQ(running->threadHandle, nullptr);
    EXPECT_EQ(stand.list().runningCount, 0);
    EXPECT_EQ(logOf(running).back(), "");
    EXPECT_EQ(linesStarting(running, "info>停止"), 1);
    DWORD attributes = GetFileAttributesA(running->savePath);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "a partial file is kept";
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << "and stays hidden";
    std::string partial = readFile(running->savePath);
    EXPECT_EQ(partial, contentBytes(0, static_cast<uint32_t>(partial.size())));
    EXPECT_EQ(linesStarting(queued, "info>"), 0) << "a queued item never started";
}

TEST_F(Scheduler, AStopRightAfterTheStartIsSeenByTheThread) {
    DownloadItem* early = item("slow", 400000, "early.bin");
    start();
    // The thread's CMD_RUNNING comes after the stop in the queue.
    postToScheduler(SCHED_ITEM_COMMAND, CMD_START, reinterpret_cast<LPARAM>(early));
    postToScheduler(SCHED_ITEM_COMMAND, CMD_STOP, reinterpret_cast<LPARAM>(early));
    ASSERT_TRUE(main->waitFor([&] { return linesStarting(early, "info>停止") == 1; }, 3000))
        << "state " << int(early->state) << ", " << early->fetchedSize << " bytes";
    ItemLockGuard lock;
    EXPECT_EQ(early->state, Idle);
    EXPECT_EQ(stand.list().runningCount, 0);
}

TEST_F(Scheduler, EveryOutcomeLeavesTheShownCountersEqualToTheFile) {
    stand.list().maxDownloadNum = 5;
    std::vector<DownloadItem*> stopped;
    for (const char* n : {"a", "b", "c", "d"}) stopped.push_back(item("slow", 400000, n));
    DownloadItem* short_ = item("close-early", 30000, "short.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] {
        for (DownloadItem* i : stopped)
            if (i->fetchedSize < 3000) return false;
        return true;
    }));
    for (DownloadItem* i : stopped) postToScheduler(SCHED_ITEM_COMMAND, CMD_STOP, reinterpret_cast<LPARAM>(i));
    ASSERT_TRUE(main->waitFor([&] { return count(Idle) == 4 && short_->state == Failed; }, 5000));
    ItemLockGuard lock;
    std::lock_guard<std::mutex> hold(stand.recorder.mutex);
    for (DownloadItem* i : stopped) {
        EXPECT_EQ(stand.recorder.shownFetched[i], i->fetchedSize) << i->saveName;
        EXPECT_EQ(readFile(i->savePath).size(), i->fetchedSize) << i->saveName;
    }
    EXPECT_EQ(stand.recorder.shownFetched[short_], 15000u) << "the failed item shows what it holds";
}

TEST_F(Scheduler, HostLookupsThatCompleteAtOnceAreNeverLost) {
    // Every transfer asks for "localhost", which the socket library answers at once; a completion
    // that reached the scheduler before its request was noted in the item would leave that item
    // waiting for ever.
    stand.list().maxDownloadNum = 20;
    for (int i = 0; i < 600; ++i)
        createItem(0, 0, "http://localhost/file/" + uniqueToken("lookup") + "/10/l" + std::to_string(i));
    start();
    startAll();
    EXPECT_TRUE(main->waitFor([&] { return count(Finished) == 600; }, 60000, 0))
        << count(Downloading) << " still downloading";
}

TEST_F(Scheduler, AnFtpLogoutAfterAnEarlyOutcomeIsAwaitedQuietly) {
    // The server refuses the folder at once (the outcome comes early) and answers QUIT a second
    // later; meanwhile the scheduler has nothing to do for these items.
    DownloadList& list = stand.list();
    list.FTP.port = testServers().ftp;
    list.maxDownloadNum = 10;
    copyText(list.FTP.ninsyouUSER, "cwd550/" + uniqueToken("logout") + "/1000");
    for (int i = 0; i < 10; ++i) createItem(0, 0, "ftp://127.0.0.1/d/f" + std::to_string(i) + ".bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return count(Failed) == 10; }, 15000));
    ItemLockGuard lock;
    // A start, the early outcome and the end of each thread: a few row updates per item.
    EXPECT_LT(stand.recorder.iconUpdates, 100) << "row updates while the outcomes waited";
    EXPECT_EQ(stand.list().runningCount, 0);
}

TEST_F(Scheduler, ADeleteHappensOnceAndNeverToTheItemThatTookTheAddress) {
    DownloadItem* victim = item("file", 10, "victim.bin");
    start();
    {
        // A second delete of the same item waits behind the first, as a transfer thread's late
        // acknowledgement would.
        ItemLockGuard lock;
        sharedWrite(victim->state, static_cast<uint8_t>(DeleteRequested));
        postToScheduler(SCHED_ITEM_COMMAND, CMD_DELETE, reinterpret_cast<LPARAM>(victim));
        postToScheduler(SCHED_ITEM_COMMAND, CMD_DELETE, reinterpret_cast<LPARAM>(victim));
    }
    // Between the two, new items are made (a paste), as the UI thread would when it gets the lock.
    std::vector<DownloadItem*> pasted;
    for (DWORD begin = GetTickCount(); pasted.empty() && GetTickCount() - begin < 3000; Sleep(0)) {
        UiItemLockGuard lock;
        if (itemPosition(stand.list(), victim) < 0)
            for (int i = 0; i < 8; ++i)
                pasted.push_back(createItem(0, 0, "http://127.0.0.1/file/x/10/p" + std::to_string(i)));
    }
    ASSERT_EQ(pasted.size(), 8u);
    main->waitFor([&] { return false; }, 300);
    ItemLockGuard lock;
    for (DownloadItem* p : pasted) EXPECT_GE(itemPosition(stand.list(), p), 0) << "a pasted item was deleted";
}

TEST_F(Scheduler, ClosingTheLastTabWhileItsItemsAreDeletedLetsThemFinish) {
    DownloadList& list = stand.list();
    for (const char* extension : {".ini", ".qvr"}) {
        std::string path = stand.temp.path() + "test" + extension;
        writeFile(path, "");
        copyText(extension[1] == 'i' ? list.settingsFilePath : list.itemListFilePath, path);
    }
    DownloadItem* leaving = item("slow", 400000, "leaving.bin");
    std::string savePath = leaving->savePath;
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return leaving->state == Downloading && leaving->fetchedSize > 0; }));
    stand.recorder.marks = {{0, kRowSelected}};
    postToScheduler(SCHED_DELETE, 0, 0);
    ASSERT_TRUE(main->waitFor([&] { return leaving->state == DeleteRequested; }, 2000));
    {
        UiItemLockGuard lock;
        ASSERT_TRUE(deleteCurrentList(tabs, 0));
    }
    ASSERT_EQ(tabs.count(), 1);
    int defaultSlot = tabs.tabs[0].slot;
    EXPECT_NE(defaultSlot, 0) << "the new default list takes a slot of its own";
    EXPECT_STREQ(downloadLists[defaultSlot].tabName, "default");
    ASSERT_TRUE(main->waitFor([&] { return downloadLists[0].head == nullptr && downloadLists[0].runningCount == 0; },
                              5000));
    EXPECT_TRUE(DeleteFileA(savePath.c_str())) << "the save file was closed";
}

TEST_F(Scheduler, StoppingBeforeAnyByteRemovesTheEmptyFile) {
    stand.list().timeOutTime = 30;
    DownloadItem* silent = item("silent", 0, "empty.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return silent->state == Downloading; }));
    ASSERT_TRUE(fileExists(silent->savePath));
    Sleep(300);
    postToScheduler(SCHED_ITEM_COMMAND, CMD_STOP, 0);
    ASSERT_TRUE(main->waitFor([&] { return silent->state == Idle; }, 3000));
    EXPECT_FALSE(fileExists(silent->savePath));
}

TEST_F(Scheduler, DeletingARunningItemHidesItAtOnceAndFreesItAfterItsThread) {
    DownloadItem* victim = item("slow", 400000, "victim.bin");
    item("file", 100, "other.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return victim->state == Downloading && victim->fetchedSize > 0; }));
    stand.recorder.marks = {{0, kRowSelected}};
    int rebuildsBefore = stand.recorder.rebuilds;
    postToScheduler(SCHED_DELETE, 0, 0);
    ASSERT_TRUE(main->waitFor([&] { return stand.recorder.rebuilds > rebuildsBefore; }, 2000));
    ASSERT_TRUE(main->waitFor([&] { return downloadLists[0].head && downloadLists[0].head->next == nullptr; }, 3000));
    // The freed slot goes to the queued item.
    ASSERT_TRUE(main->waitFor([&] { return downloadLists[0].head->state == Finished; }, 3000));
    ItemLockGuard lock;
    EXPECT_STREQ(downloadLists[0].head->saveName, "other.bin");
    EXPECT_EQ(stand.list().runningCount, 0);
}

TEST_F(Scheduler, FinishedItemsAreDeletedTogether) {
    DownloadItem* done = item("file", 100, "done.bin");
    item("status", 404, "failed.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return count(Finished) == 1 && count(Failed) == 1; }));
    postToScheduler(SCHED_DELETE, 0, 1);
    ASSERT_TRUE(main->waitFor([&] { return itemPosition(stand.list(), done) < 0; }, 2000));
    ItemLockGuard lock;
    ASSERT_NE(stand.list().head, nullptr);
    EXPECT_EQ(stand.list().head->state, Failed);
    EXPECT_EQ(logOf(stand.list().head)[logOf(stand.list().head).size() - 2], "info>失敗 (リカバリヘッダ取得)");
}

TEST_F(Scheduler, RedirectToFtpContinuesWithoutASecondStartLine) {
    stand.list().FTP.port = 1;  // nothing listens there: the FTP run fails to connect
    DownloadItem* moved = item("redirect-ftp", 0, "moved.bin");
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return moved->state == Failed; }));
    ItemLockGuard lock;
    EXPECT_EQ(linesStarting(moved, "info>開始"), 1);
    EXPECT_EQ(linesStarting(moved, "info>リダイレクト"), 1);
    EXPECT_EQ(moved->ftpRedirect, 0) << "the FTP run took the redirect";
    EXPECT_EQ(logOf(moved)[logOf(moved).size() - 2], "info>失敗 (接続)");
}

TEST_F(Scheduler, FolderThatCannotBeMadeFailsTheStart) {
    DownloadItem* lost = createItem(0, 0, "http://127.0.0.1/file/x/10/lost.bin");
    {
        SavePathGuard guard;
        setSavePath(*lost, "Q:\\no\\drive\\lost.bin", lost->nameSource);
    }
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return lost->state == Failed; }));
    ItemLockGuard lock;
    EXPECT_EQ(lost->failStage, STAGE_FOLDER_CREATE);
    EXPECT_EQ(logOf(lost),
              (std::vector<std::string>{"info>開始", "info>保存名 lost.bin (URLから)", "info>失敗 (フォルダ作成)", ""}));
}

TEST_F(Scheduler, ExitStartsNothingNewAndClosesAfterTheLastThread) {
    for (const char* n : {"a", "b", "c"}) item("slow", 400000, n);
    stand.list().maxDownloadNum = 2;
    start();
    startAll();
    ASSERT_TRUE(main->waitFor([&] { return count(Downloading) == 2 && count(Queued) == 1; }));
    main->exitAndWait();
    CloseHandle(main->scheduler);
    main->scheduler = nullptr;
    EXPECT_EQ(MainWindowStandIn::closes, 1);
    EXPECT_TRUE(MainWindowStandIn::threadsEndedAtClose);
    EXPECT_EQ(count(Idle), 3);
    EXPECT_EQ(stand.list().runningCount, 0);
    EXPECT_EQ(linesStarting(stand.list().head->next->next, "info>開始"), 0);
}

TEST_F(Scheduler, LogPaneFollowsTheLogItem) {
    DownloadItem* shown = item("file", 100, "shown.bin");
    start();
    postToScheduler(SCHED_SET_LOG_ITEM, reinterpret_cast<WPARAM>(shown), 0);
    postToScheduler(SCHED_ITEM_COMMAND, CMD_START, reinterpret_cast<LPARAM>(shown));
    ASSERT_TRUE(main->waitFor([&] { return shown->state == Finished; }));
    ItemLockGuard lock;
    EXPECT_EQ(stand.recorder.logPane, logOf(shown));
    EXPECT_EQ(stand.recorder.logPane.front(), "info>開始");
}

TEST_F(Scheduler, SortRelinksTheChainInRowOrderAndFlipsTheDirection) {
    DownloadItem* a = item("file", 1, "a");
    DownloadItem* b = item("file", 1, "b");
    DownloadItem* c = item("file", 1, "c");
    stand.recorder.sortResult = true;
    stand.recorder.rows = {c, a, b};
    start();
    postToScheduler(SCHED_SORT, 0, 2);
    ASSERT_TRUE(main->waitFor([&] { return stand.list().head == c; }, 2000));
    postToScheduler(SCHED_SORT, 0, 2);
    ASSERT_TRUE(main->waitFor([&] { return stand.recorder.sorts.size() == 2; }, 2000));
    ItemLockGuard lock;
    EXPECT_EQ(c->next, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(stand.recorder.sorts[0], std::make_pair(2, 0));
    EXPECT_EQ(stand.recorder.sorts[1], std::make_pair(2, 1));
}

}  // namespace
