// The default list and the release of all lists at the end of the program.
#pragma once
#include "lists/tab_strip.h"

// Slot 0 becomes "default" with the default settings and its two files; its tab goes first.
void createDefaultList(TabStrip& tabs);

// Frees every item of every list (program end, inside the item lock).
void releaseAllLists();
