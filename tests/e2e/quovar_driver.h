// Drives the real quovar.exe from another process, as a user would: starts it from a fresh copy,
// finds its main window, posts commands, uses the clipboard, reads the rows of its list views and
// saves pictures of its window.
#pragma once
#include <string>
#include <vector>
#include <windows.h>

// Saves what the screen shows of `window` as a 24-bit BMP file; `colours` (when given) receives
// how many different colours the picture holds, so a test can tell a drawn window from a blank one.
bool saveWindowPicture(HWND window, const std::string& path, size_t* colours = nullptr);

// A program of the project started and driven from this process: its dialogs, message boxes, list
// views and tab controls, whichever program it is.
class DrivenProcess {
  public:
    DrivenProcess() = default;
    ~DrivenProcess();  // ends the process if it still runs
    DrivenProcess(const DrivenProcess&) = delete;
    DrivenProcess& operator=(const DrivenProcess&) = delete;

    // Starts `exe` with `arguments` in the working folder `folder`.
    bool start(const std::string& exe, const std::string& arguments, const std::string& folder);
    bool running() const;
    bool waitForEnd(DWORD ms) const;
    // Ends the process at once, as a crash or a power cut would: nothing is saved.
    void kill();
    // Rows of a report list view of the program: cell texts per row.
    std::vector<std::vector<std::string>> rows(HWND list, int columns) const;
    // Clicks the tab at `index` of a tab control in the middle, so that the control itself tells
    // its window, and waits until the program has handled it.
    void clickTabOf(HWND tabs, int index) const;
    // Class, caption and texts of every visible top-level window of the program, for a failure
    // message that says what the program is showing.
    std::string describeWindows() const;
    // The dialog of the program captioned `caption` that is shown now, waiting up to `ms` for it.
    HWND findDialog(const char* caption, DWORD ms) const;
    // Text of the message box the program shows now (caption `caption`), after pressing its
    // first button; empty when none appeared within `ms`.
    std::string answerMessageBox(const char* caption, DWORD ms, int button = IDOK) const;
    // The popup menu the program shows now (class "#32768"), waiting up to `ms` for it.
    HWND openMenu(DWORD ms) const;
    // The title of a column of a list view of the program.
    std::string columnTitle(HWND list, int column) const;
    // Selects `rows` of a list view (the last one focused), and double-clicks one as the mouse would.
    void selectRowsOf(HWND list, const std::vector<int>& rows) const;
    void doubleClickRowOf(HWND list, int row) const;

  protected:
    // Puts the mouse cursor on row `row` of a list view; the point in the list's coordinates.
    POINT pointAtRowOf(HWND list, int row) const;
    PROCESS_INFORMATION process_{};
};

class QuovarProcess : public DrivenProcess {
  public:
    // Copies the program into `folder` (which then holds quovar.exe, and later setting\ and
    // download\) and starts it; waits until its main window exists. With `inPlace` the folder
    // holds its quovar.exe already (a distribution folder, say) and that one is started.
    // Unless the folder holds a program settings file, the automatic exit is switched off.
    // Message boxes with caption "報告" that the program shows before its window are answered with
    // their first button and their texts collected in `startupReport`, when given.
    explicit QuovarProcess(const std::string& folder, std::string* startupReport = nullptr, bool inPlace = false);
    ~QuovarProcess();  // closes the window if it is still there, then ends the process

    bool started() const { return window_ != nullptr; }
    // Milliseconds from the process start to the first time its message loop waited for input.
    double millisecondsToIdle() const { return toIdle_; }
    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    const std::string& folder() const { return folder_; }

    void command(int id) const;
    // Rows of a report list view of the program (8000 items, 8001 log): cell texts per row.
    std::vector<std::vector<std::string>> rows(int controlId, int columns) const { return rows(control(controlId), columns); }
    using DrivenProcess::rows;
    // The state picture of every row of the item list (the item's state number).
    std::vector<int> rowStates() const;
    void selectRows(const std::vector<int>& rows) const { selectRowsOf(control(8000), rows); }
    std::string title() const;
    // Clicks the tab at `index` in the middle, so that the control itself tells the window.
    void clickTab(int index) const { clickTabOf(FindWindowExA(window_, nullptr, "SysTabControl32", nullptr), index); }
    // Text of the tab at `index` of the main window's tab control.
    std::string tabText(int index) const;
    // Waits until the window answers messages again (the program is idle).
    bool settle() const;
    // Asks the window to close and waits for the process to end; true when it ended in time.
    bool closeAndWait(DWORD ms);
    // Saves a picture of the whole window as a BMP file.
    bool saveScreenshot(const std::string& path) const { return saveWindowPicture(window_, path); }
    // Right-clicks or double-clicks row `row` of the item list, as the mouse would.
    void rightClickRow(int row) const;
    void doubleClickRow(int row) const { doubleClickRowOf(control(8000), row); }
    // Clicks the drop-down arrow of toolbar button `command`.
    void clickDropDown(int command) const;

  private:
    std::string folder_;
    HWND window_ = nullptr;
    double toIdle_ = 0;
};

// The control `id` anywhere inside `dialog` (also in its child dialogs), or null.
HWND dialogControl(HWND dialog, int id);
// Text of a control, and typing a text into one (the control's parent is not told).
std::string controlText(HWND control);
void setControlText(HWND control, const std::string& text);
// Clicks a button as the mouse would: a check box or radio button changes and tells its dialog.
void clickButton(HWND button);

// Clipboard text of this session (CF_TEXT).
bool putClipboardText(const std::string& text);
std::string clipboardText();

// Polls `done` every 50 ms until it holds or `ms` passed.
template <typename Done> bool waitUntil(Done done, DWORD ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(50);
    }
    return true;
}

// The program under test (QUOVAR_EXE, a Unix path) as a Windows path, and the listing tool beside it.
std::string programUnderTest();
std::string toolUnderTest();
std::string screenshotFolder();
