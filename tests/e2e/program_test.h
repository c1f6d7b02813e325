// What the end-to-end tests of the real program share: a fresh program folder per test, a preset
// default list, and readers for the rows of its panes.
#pragma once
#include "tests/e2e/quovar_driver.h"
#include "tests/engine/scheduler_stand_in.h"
#include "tests/unit/temp_folder.h"
#include <gtest/gtest.h>

constexpr int kItemList = 8000;

// A dialog the program shows, found by its caption, with its controls (also those of its child
// dialogs) by id.
struct ProgramDialog {
    HWND window = nullptr;
    bool find(const DrivenProcess& q, const char* caption) { return (window = q.findDialog(caption, 10000)) != nullptr; }
    HWND at(int id) const { return dialogControl(window, id); }
    std::string text(int id) const { return controlText(at(id)); }
    void type(int id, const std::string& text) const { setControlText(at(id), text); }
    // Presses a button the way a click would, without waiting for what it does.
    void press(int button) const { PostMessageA(window, WM_COMMAND, button, 0); }
    // Presses a button that closes the dialog and waits until it has gone.
    bool close(int button) const {
        press(button);
        return waitUntil([&] { return !IsWindow(window); }, 10000);
    }
    void picture(const char* name) const {
        if (screenshotFolder().empty()) return;
        Sleep(300);  // what the last messages changed is painted after them
        saveWindowPicture(window, screenshotFolder() + name + ".bmp");
    }
};
constexpr int kLogPane = 8001;
// A fresh program folder per test, with helpers to preset its default list and to read its panes.
struct ProgramTest : ::testing::Test {
    enum Column { NAME, SIZE, FETCHED, REMAINING, SPEED, TRIES, URL };  // of the item list
    TempFolder temp;
    std::string folder;

    void SetUp() override {
        ASSERT_FALSE(programUnderTest().empty()) << "QUOVAR_EXE names no program";
        folder = temp.path() + "Quovar\\";
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    // A default list that talks to the local servers' ports.
    void presetDefaultList(int httpPort, const std::string& extra = "") {
        CreateDirectoryA((folder + "setting").c_str(), nullptr);
        writeFile(folder + "setting\\default.ini", "[SETTING]\r\ntabName=default\r\ntabNo=0\r\nretryWaitTime=0\r\n" +
                                                        extra + "[HTTP]\r\nport=" + std::to_string(httpPort) + "\r\n");
        writeFile(folder + "setting\\default.qvr", "");
    }
    // A default list whose FTP server never answers the logout, with no time limit: its transfers
    // end only when the program's exit cuts the logout short (after a few seconds).
    void presetUnansweredLogout(const std::string& token) {
        presetDefaultList(testServers().http, "timeOutTime=0\r\n[FTP]\r\nport=" + std::to_string(testServers().ftp) +
                                                  "\r\nninsyouUSER=mute-quit/" + token + "/1000\r\n");
    }
    // Pastes `url` as the only item, starts it and waits until its logout has been sent.
    static bool startUntilLogout(const QuovarProcess& q, const std::string& url, const std::string& token) {
        if (!paste(q, url + "\r\n", 1)) return false;
        q.selectRows({0});
        q.command(200);
        std::string requests = testServers().state + "\\requests\\" + token + ".log";
        return waitUntil([&] { return readFile(requests).find("QUIT\r\n") != std::string::npos; }, 20000);
    }
    static std::vector<std::vector<std::string>> items(const QuovarProcess& q) { return q.rows(kItemList, 7); }
    // One cell of the item list, or "" while the list has no such row (a window that does not
    // answer shows no rows).
    static std::string cell(const QuovarProcess& q, size_t row, Column column) {
        auto rows = items(q);
        return row < rows.size() ? rows[row][column] : std::string();
    }
    // The last line but `fromEnd` of the log pane, or "" while it has fewer lines.
    static std::string logLineFromEnd(const QuovarProcess& q, size_t fromEnd) {
        auto lines = logLines(q);
        return fromEnd < lines.size() ? lines[lines.size() - 1 - fromEnd] : std::string();
    }
    static std::vector<std::string> logLines(const QuovarProcess& q) {
        std::vector<std::string> lines;
        for (auto& row : q.rows(kLogPane, 1)) lines.push_back(row[0]);
        return lines;
    }
    void shot(const QuovarProcess& q, const char* name) {
        if (!screenshotFolder().empty()) q.saveScreenshot(screenshotFolder() + name + ".bmp");
    }
    // Pastes `text` and waits for `rows` rows.
    static bool paste(const QuovarProcess& q, const std::string& text, size_t rows) {
        putClipboardText(text);
        q.command(242);
        return waitUntil([&] { return items(q).size() == rows; }, 10000);
    }
};
