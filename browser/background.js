// Quovar's entries in the browser's context menu: one on the page and one on a selection, both
// "リンクの列挙". Choosing one opens the extension's list page beside the tab; the list page reads
// the links itself (the click lends the extension that tab for as long as it shows the same page).
// The links go to Quovar only through the clipboard: nothing here talks to the program.
//
// Chromium-family browsers run this file as the service worker, Firefox as a background script.
var PAGE_ENTRY = "quovar-links";
var SELECTION_ENTRY = "quovar-links-in-selection";
var TITLE = "\u30ea\u30f3\u30af\u306e\u5217\u6319";

function addEntries() {
  chrome.contextMenus.removeAll(function () {
    chrome.contextMenus.create({ id: PAGE_ENTRY, title: TITLE, contexts: ["page", "frame"] });
    chrome.contextMenus.create({ id: SELECTION_ENTRY, title: TITLE, contexts: ["selection"] });
  });
}

// The entries' handler: `info` says which entry and in which frame, `tab` is the page's tab.
// Answers the list page's tab.
function openLinkList(info, tab) {
  if (!tab || typeof tab.id !== "number" || tab.id < 0) return Promise.resolve(null);
  var query = "?tab=" + tab.id + "&frame=" + (info.frameId || 0) +
    (info.menuItemId === SELECTION_ENTRY ? "&selection=1" : "");
  return chrome.tabs.create({ url: chrome.runtime.getURL("list.html") + query, index: tab.index + 1,
                              openerTabId: tab.id });
}

chrome.runtime.onInstalled.addListener(addEntries);
chrome.runtime.onStartup.addListener(addEntries);
chrome.contextMenus.onClicked.addListener(openLinkList);
