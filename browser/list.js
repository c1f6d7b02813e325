// The extension's list page: reads the links of the tab (and frame) it was opened for and shows
// them as the link page does. The links are read by a script in the extension's own world of that
// page, where nothing the page defines (getters, prototypes, its own `links`) is seen.
(function () {
  var query = new URLSearchParams(location.search);
  var target = { tabId: Number(query.get("tab")), frameIds: [Number(query.get("frame") || 0)] };
  var selection = query.get("selection") === "1";

  // Runs in the page's frame, beside links.js.
  function readLinks(onlySelected) {
    return QuovarLinks.collect(document, onlySelected ? document.getSelection() : null);
  }

  QuovarLinks.addStyle(document);
  document.title = QuovarLinks.TEXTS.title;
  chrome.scripting.executeScript({ target: target, files: ["links.js"] })
    .then(function () {
      return chrome.scripting.executeScript({ target: target, func: readLinks, args: [selection] });
    })
    .then(function (results) {
      QuovarLinks.showList(results[0].result, document);
      document.documentElement.setAttribute("data-quovar", "shown");
    })
    .catch(function (e) {
      QuovarLinks.say(document, QuovarLinks.TEXTS.unreadable + (e && e.message ? e.message : e));
      document.documentElement.setAttribute("data-quovar", "unreadable");
    });
})();
