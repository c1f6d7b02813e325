// The lists from start to end: loading them, the default list, new and deleted lists, and the
// release of all of them at the end of the program.
#pragma once
#include "lists/tab_strip.h"
#include <string_view>

// Loads every "*.ini" of the settings folder (20 at most) into the list table and the tab strip;
// creates the default list when there is none. UI thread, before the scheduler runs.
void loadAllLists(TabStrip& tabs);

// A free slot (slot 0 at start) becomes "default" with the default settings and its two files; its
// tab goes first.
void createDefaultList(TabStrip& tabs);

// A new list named after the current one ("%s%02d", the first name no list has, compared without
// regard to case), with the current list's settings and two empty files; its tab is appended and
// becomes current. Does nothing when all 20 slots or all 20 names are taken or a file cannot be made.
// Returns the new slot, or -1.
int createNewList(TabStrip& tabs);

// Deletes the current list (tab `currentTabIndex`) with its two files, unless its view shows rows
// (`shownRows` > 0) or a file cannot be deleted; each refusal is told. When the last list goes, the
// default list takes its place. Returns true when the list was deleted; the caller then shows the
// first tab's list.
bool deleteCurrentList(TabStrip& tabs, int shownRows);

// Renames the list of tab `position` to `name` (cut to 39 characters): its two files are moved to
// the new name first, then the list takes the name and paths and its tab the name. A list keeps its
// name and both files, and the user is told, when the name is empty, is another list's (compared
// without regard to case) or a file cannot be moved; a file that is missing is left to the next
// save. Returns true when the list has the new name. Inside the item lock: a save must not write
// the files while they move.
bool renameList(TabStrip& tabs, int position, std::string_view name);

// Frees every item of every list (program end, inside the item lock).
void releaseAllLists();
