// The tab strip as the lists see it: one tab per list, carrying the list's slot as its data. The
// main window implements it with the real tab control; tests with a plain array.
#pragma once

struct TabStrip {
    virtual int count() = 0;
    // Inserts a tab at `position` (at the end when the strip is shorter); returns its position.
    virtual int insert(int position, const char* text, int image, int slot) = 0;
    virtual void remove(int position) = 0;
    virtual void setText(int position, const char* text) = 0;
    virtual int slotAt(int position) = 0;
    virtual void select(int position) = 0;

  protected:
    ~TabStrip() = default;
};

// Position of the tab whose list the commands act on; UI thread.
extern int currentTabIndex;

// The program's tab strip (the main window's tab control, or a test's); set before the scheduler runs.
extern TabStrip* tabStrip;

// Slot of the list whose tab is selected: the list the user sees and the UI thread's commands act
// on, even before the scheduler has shown its rows. UI thread.
int selectedSlot();
