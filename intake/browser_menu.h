// The entry "リンクの列挙" of the browser's page context menu. It opens the link page that lies beside
// the program, which lists the page's links for the user to copy; the links reach the program only
// through the clipboard. The first running instance adds the entry and the last one removes it.
#pragma once

// The number of top-level windows whose title begins with "Quovar": every running instance has one.
int countInstances();

// After the main window is shown: adds the entry when this is the only instance, pointing at this
// instance's link page; tells the user when that fails.
void registerBrowserMenu();

// After the message loop: removes the entry when no instance is left; tells the user when that fails.
void removeBrowserMenu();
