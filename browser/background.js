// Quovar's entries in the browser's context menu: 「リンクの列挙」 on the page, a frame, a link or
// an image (one entry, so that two alike never stand side by side), and 「選択範囲のリンクの列挙」
// on a selection (titles from _locales). Choosing one opens the extension's list page beside the
// tab; the list page reads the links itself (the click lends the extension that tab for as long as
// it shows the same page). The links go to Quovar only through the clipboard: nothing here talks
// to the program.
//
// Chromium-family browsers run this file as the service worker, Firefox as a background script.
var PAGE_ENTRY = "quovar-links";
var SELECTION_ENTRY = "quovar-links-in-selection";

function addEntries() {
  chrome.contextMenus.removeAll(function () {
    chrome.contextMenus.create({ id: PAGE_ENTRY, title: chrome.i18n.getMessage("pageEntry"),
                                 contexts: ["page", "frame", "link", "image"] });
    chrome.contextMenus.create({ id: SELECTION_ENTRY, title: chrome.i18n.getMessage("selectionEntry"),
                                 contexts: ["selection"] });
  });
}

// The entries' handler: `info` says which entry, in which frame and on what, `tab` is the page's
// tab. The page entry lists the whole tab wherever it was chosen (its frames are read from the
// top); a selection lives in the frame it was made in. The list page is told the address the
// click saw, to check that the frame still shows it. Answers the list page's tab.
function openLinkList(info, tab) {
  if (!tab || typeof tab.id !== "number" || tab.id < 0) return Promise.resolve(null);
  var selection = info.menuItemId === SELECTION_ENTRY;
  var inFrame = selection && info.frameId > 0;
  var query = new URLSearchParams({ tab: tab.id, frame: inFrame ? info.frameId : 0,
                                    page: (inFrame ? info.frameUrl : info.pageUrl) || "" });
  if (selection) query.set("selection", "1");
  if (info.linkUrl || info.srcUrl) query.set("link", info.linkUrl || info.srcUrl);
  return chrome.tabs.create({ url: chrome.runtime.getURL("list.html") + "?" + query, index: tab.index + 1,
                              openerTabId: tab.id });
}

chrome.runtime.onInstalled.addListener(addEntries);
chrome.runtime.onStartup.addListener(addEntries);
chrome.contextMenus.onClicked.addListener(openLinkList);
