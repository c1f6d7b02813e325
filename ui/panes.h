// The lower half of the main window: tab control, item list view, splitter, log pane and the status
// strip with its size grip, status text and save progress bar; their layout and the background.
#pragma once
#include <windows.h>
#include <commctrl.h>

struct Panes {
    HWND main = nullptr;
    HWND toolbar = nullptr;
    HWND tabs = nullptr;
    HWND itemList = nullptr;
    HWND logPane = nullptr;
    HWND splitter = nullptr;
    HWND sizeGrip = nullptr;  // only while the status strip is shown
    HWND saveProgress = nullptr;
    HFONT listFont = nullptr;
    HFONT tabFont = nullptr;
    HFONT statusFont = nullptr;
    HIMAGELIST tabImages = nullptr;
    COLORREF buttonFace = 0;
    int toolbarHeight = 0;
};

// The panes of the one main window; UI thread (the status text is also set from the scheduler).
extern Panes panes;

// Creates the tab control, the item list view, the log pane and the splitter.
void createPanes(HWND main);
void layoutPanes();
void paintBackground(HDC dc);

// Shows or hides the status strip with its size grip; the window grows or shrinks by 12 pixels.
void showStatusStrip(bool show);
bool statusStripShown();

// Sets the remembered status text (null keeps it) and draws it.
void setStatusText(const char* text);

// The log pane: emptied, and one line added at the end (scrolled into view unless focused).
void clearLogPane();
void addLogPaneLine(const char* text);
// True when the log pane has the keyboard focus of its (the UI) thread, whichever thread asks.
bool logPaneHasFocus();

void showSaveProgress(int total);
void stepSaveProgress();
void hideSaveProgress();

void destroyPaneResources();
