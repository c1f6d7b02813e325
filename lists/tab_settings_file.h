// Every list's settings file ("setting\<name>.ini"): loading all lists at start and saving them.
#pragma once
#include "lists/download_list.h"
#include "lists/tab_strip.h"
#include <string>

// Reads the settings of one list from `path` into `list` (name, folder, limits, HTTP and FTP keys)
// and empties its runtime fields. The slot and the tab are the caller's.
void loadListSettings(DownloadList& list, const char* path);

// Loads the list of one settings file into the slot its "tabNo" names (the first free slot when that
// one is taken or out of range) and inserts its tab. False when all 20 slots are in use.
bool loadOneList(TabStrip& tabs, const std::string& path);

// Writes the settings of one list, numbering its tab `tabNo`. The file is replaced only after every
// key was written, so a failed save leaves the previous file whole. Returns false on failure.
bool saveListSettings(const DownloadList& list, int tabNo);

// Saves the settings of every list in tab strip order. UI or scheduler thread.
void saveAllListSettings(TabStrip& tabs);

// Makes sure the settings folder exists; tells the user when it cannot be created.
void ensureSettingsFolder();
