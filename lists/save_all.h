#pragma once

// Saves everything: program settings, every list's settings and every item-list file. On the
// scheduler thread the list settings come first. Needs the tab strip and the view.
enum class SaveCaller { MainWindow, Scheduler };
void saveAll(SaveCaller caller);

// Writes the program settings alone, with the window layout the view gives now.
void saveProgramSettingsFile();
