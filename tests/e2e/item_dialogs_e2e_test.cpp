// The item dialogs of the real program: a numbered pattern previewed, registered and downloaded;
// texts that cannot become items refused; a running item left running by an unchanged edit and
// edited onto another URL and name; an edit that waits for the item's transfer to end given up by
// the user, and by a close; nothing registered once the close has saved the lists.
#include "tests/e2e/program_test.h"
#include <algorithm>

namespace {

constexpr int kUrlEdit = 2011, kFolderEdit = 2012, kNameEdit = 2013, kTest = 2020, kPreview = 2070;
constexpr int kIdle = 0, kDownloading = 2, kFinished = 3;

struct ItemDialogs : ProgramTest {
    ProgramDialog dialog;
    std::string token = "items" + std::to_string(GetTickCount());

    static bool allRowsAre(const QuovarProcess& q, int state, size_t rows) {
        return waitUntil(
            [&] {
                std::vector<int> states = q.rowStates();
                return states.size() == rows && std::all_of(states.begin(), states.end(), [&](int s) { return s == state; });
            },
            60000);
    }
    static int height(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return r.bottom - r.top;
    }
    void expectServedFile(const std::string& path, size_t size) {
        std::string file = readFile(path);
        ASSERT_EQ(file.size(), size) << path;
        for (uint32_t i = 0; i < file.size(); ++i) ASSERT_EQ(static_cast<unsigned char>(file[i]), contentByte(i)) << path << " " << i;
    }
};

TEST_F(ItemDialogs, APatternIsPreviewedThenRegisteredInOrderAndDownloaded) {
    presetDefaultList(testServers().http);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    q.command(1112);
    ASSERT_TRUE(dialog.find(q, "新規アイテムの作成")) << q.describeWindows();
    EXPECT_EQ(dialog.text(kFolderEdit), folder + "download\\");

    // Texts that cannot become items are refused with the reason; the dialog stays for a correction.
    for (auto [typed, reason] : {std::pair{"127.0.0.1/a.bin", "http://"}, {"http://127.0.0.1/f[5-1].bin", "[開始-終了]"}}) {
        dialog.type(kUrlEdit, typed);
        dialog.press(IDOK);
        EXPECT_NE(q.answerMessageBox("報告", 5000).find(reason), std::string::npos) << typed;
        EXPECT_TRUE(IsWindow(dialog.window));
    }

    std::string pattern = "http://127.0.0.1/file/" + token + "/20000/f[01-05].bin";
    dialog.type(kUrlEdit, pattern);
    int closed = height(dialog.window);
    for (int press = 0; press < 2; ++press) {  // the second test replaces the rows and keeps the height
        clickButton(dialog.at(kTest));
        ASSERT_EQ(q.rows(dialog.at(kPreview), 1).size(), 5u);
    }
    EXPECT_GT(height(dialog.window), closed + 100);
    auto preview = q.rows(dialog.at(kPreview), 1);
    dialog.picture("new-item-preview");
    ASSERT_TRUE(dialog.close(IDOK));

    auto rows = items(q);
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][URL], preview[i][0]);
        EXPECT_EQ(rows[i][NAME], "f0" + std::to_string(i + 1) + ".bin");
    }
    q.command(206);
    ASSERT_TRUE(allRowsAre(q, kFinished, 5)) << q.describeWindows();
    for (int i = 1; i <= 5; ++i) expectServedFile(folder + "download\\f0" + std::to_string(i) + ".bin", 20000);
}

TEST_F(ItemDialogs, EditingARunningItemStopsItAndTheNewUrlIsFetchedUnderTheNewName) {
    // A folder written by hand, relative (to the program's folder, where it starts): the dialog
    // would write it otherwise.
    presetDefaultList(testServers().http, "saveFolderPath=download\\\r\n");
    CreateDirectoryA((folder + "download").c_str(), nullptr);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    std::string slow = "http://127.0.0.1/slow/" + token + "/4000000/run.bin";
    ASSERT_TRUE(paste(q, slow + "\r\n", 1));
    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(waitUntil([&] { return q.rowStates() == std::vector<int>{kDownloading} && cell(q, 0, FETCHED) != "0"; },
                          10000));

    q.doubleClickRow(0);
    ASSERT_TRUE(dialog.find(q, "アイテムの編集")) << q.describeWindows();
    EXPECT_EQ(dialog.text(kUrlEdit), slow);
    EXPECT_EQ(dialog.text(kFolderEdit), "download\\");
    EXPECT_EQ(dialog.text(kNameEdit), "run.bin");
    ASSERT_TRUE(dialog.close(IDOK)) << q.describeWindows();
    std::string fetched = cell(q, 0, FETCHED);
    EXPECT_TRUE(waitUntil([&] { return cell(q, 0, FETCHED) != fetched; }, 5000)) << "an unchanged edit stopped the item";
    EXPECT_EQ(q.rowStates(), std::vector<int>{kDownloading});

    q.doubleClickRow(0);
    ASSERT_TRUE(dialog.find(q, "アイテムの編集")) << q.describeWindows();
    dialog.picture("edit-item");
    std::string fresh = "http://127.0.0.1/file/" + token + "/50000/new.bin";
    dialog.type(kUrlEdit, fresh);
    dialog.type(kNameEdit, "new.bin");
    ASSERT_TRUE(dialog.close(IDOK)) << q.describeWindows();

    EXPECT_EQ(q.rowStates(), std::vector<int>{kIdle});
    EXPECT_EQ(cell(q, 0, URL), fresh);
    EXPECT_EQ(cell(q, 0, NAME), "new.bin");
    // The old transfer has ended: its partial file is kept as it was and grows no more.
    std::string partial = folder + "download\\run.bin";
    size_t kept = readFile(partial).size();
    Sleep(1000);
    EXPECT_EQ(readFile(partial).size(), kept);
    EXPECT_LT(kept, 4000000u);

    q.selectRows({0});
    q.command(200);
    ASSERT_TRUE(allRowsAre(q, kFinished, 1)) << q.describeWindows();
    expectServedFile(folder + "download\\new.bin", 50000);
}

TEST_F(ItemDialogs, AnEditThatWaitsForTheTransferIsGivenUpByCancelOrByAClose) {
    // An FTP server that never answers the logout, and no time limit: the stop the edit asks for
    // does not end the transfer; only the program's exit cuts the wait short.
    presetUnansweredLogout(token);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(startUntilLogout(q, "ftp://127.0.0.1/waits.bin", token)) << q.describeWindows();

    q.doubleClickRow(0);
    ASSERT_TRUE(dialog.find(q, "アイテムの編集")) << q.describeWindows();
    std::string other = "http://127.0.0.1/file/" + token + "/100/other.bin";
    dialog.type(kUrlEdit, other);
    dialog.press(IDOK);
    Sleep(1500);
    ASSERT_TRUE(IsWindow(dialog.window)) << "the transfer's thread cannot have ended";
    EXPECT_FALSE(IsWindowEnabled(dialog.at(IDOK)));
    // The program answers while the edit waits, and the user may give the edit up: it is said so.
    EXPECT_TRUE(q.settle());
    dialog.press(IDCANCEL);
    EXPECT_NE(q.answerMessageBox("報告", 5000).find("編集を取りやめました"), std::string::npos) << q.describeWindows();
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog.window); }, 5000));
    EXPECT_EQ(cell(q, 0, URL), "ftp://127.0.0.1/waits.bin");

    // The close (the exit timer's, say) comes while a second edit waits: the exit owns the item,
    // the edit is given up and the program ends once the logout is cut short.
    q.doubleClickRow(0);
    ASSERT_TRUE(dialog.find(q, "アイテムの編集")) << q.describeWindows();
    dialog.type(kUrlEdit, other);
    dialog.press(IDOK);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowEnabled(dialog.at(IDOK)); }, 5000)) << "the edit does not wait";
    EXPECT_TRUE(q.closeAndWait(30000)) << q.describeWindows();
    std::string itemList = readFile(folder + "setting\\default.qvr");
    EXPECT_NE(itemList.find("ftp://127.0.0.1/waits.bin"), std::string::npos) << itemList;
    EXPECT_EQ(itemList.find("other.bin"), std::string::npos) << itemList;
}

TEST_F(ItemDialogs, NothingIsRegisteredOnceTheCloseHasSavedTheLists) {
    // The logout nobody answers keeps the exit going for seconds after the close saved the lists:
    // an item registered, pasted or edited meanwhile would be lost, so it is refused with the reason.
    presetUnansweredLogout(token);
    QuovarProcess q(folder);
    ASSERT_TRUE(q.started());
    ASSERT_TRUE(startUntilLogout(q, "ftp://127.0.0.1/waits.bin", token)) << q.describeWindows();
    q.command(1112);
    ASSERT_TRUE(dialog.find(q, "新規アイテムの作成")) << q.describeWindows();
    dialog.type(kUrlEdit, "http://127.0.0.1/late.bin");
    PostMessageA(q.window(), WM_CLOSE, 0, 0);
    Sleep(500);
    dialog.press(IDOK);
    EXPECT_NE(q.answerMessageBox("報告", 5000).find("終了処理中"), std::string::npos) << q.describeWindows();
    putClipboardText("http://127.0.0.1/pasted.bin\r\n");
    q.command(242);
    EXPECT_NE(q.answerMessageBox("報告", 5000).find("終了処理中"), std::string::npos) << q.describeWindows();
    EXPECT_EQ(items(q).size(), 1u);
    q.doubleClickRow(0);
    ASSERT_TRUE(dialog.find(q, "アイテムの編集")) << q.describeWindows();
    dialog.type(kUrlEdit, "http://127.0.0.1/edited.bin");
    dialog.press(IDOK);
    EXPECT_NE(q.answerMessageBox("報告", 5000).find("終了処理中"), std::string::npos) << q.describeWindows();
    EXPECT_TRUE(q.waitForEnd(30000)) << q.describeWindows();
}

}  // namespace
