// The extension's list page: reads the links of the tab (and frame) it was opened for and shows
// them as the link page does. The links are read by a script in the extension's own world of that
// page, where nothing the page defines (getters, prototypes, its own `links`) is seen.
(function () {
  var query = new URLSearchParams(location.search);
  var target = { tabId: Number(query.get("tab")), frameIds: [Number(query.get("frame") || 0)] };
  var selection = query.get("selection") === "1";
  var clicked = query.get("link") || "";
  var page = query.get("page") || "";
  var view = document.getElementById("quovar-list");
  var TEXTS = QuovarLinks.TEXTS;
  var SLOW_MS = 15000;
  var answered = false;

  function state(name) { document.documentElement.setAttribute("data-quovar", name); }

  function withoutFragment(url) { return url.split("#")[0]; }

  // The link the entry was chosen on goes first and is marked, also when the page's list has it
  // not (a bare image, a link of a frame that cannot be read).
  function clickedFirst(list) {
    if (!QuovarLinks.listed(clicked)) return list;
    var rest = list.filter(function (link) { return link.frame || link.url !== clicked; });
    var found = list.filter(function (link) { return !link.frame && link.url === clicked; })[0];
    var first = found || { text: "", url: clicked };
    first.clicked = true;
    first.note = first.note || TEXTS.clicked;
    return [first].concat(rest);
  }

  // The links as collect gave them, from read.js's rows.
  function linksOf(rows) {
    var url = "";
    return rows.map(function (row) {
      if (!Array.isArray(row)) return row;
      url = url.substring(0, row[1]) + row[2];
      return { text: row[0], url: url, selected: row[3] };
    });
  }

  var title = chrome.i18n.getMessage(selection ? "selectionEntry" : "pageEntry");
  document.title = title;
  document.querySelector("#quovar-heading span").textContent = title;
  QuovarLinks.addStyle(document);
  QuovarLinks.say(document, TEXTS.loading, view);
  state("loading");
  // The page may be busy or stuck; the user is told so, and the list still comes if it is read.
  setTimeout(function () {
    if (answered) return;
    QuovarLinks.say(document, TEXTS.slow, view);
    state("slow");
  }, SLOW_MS);
  // One call, as soon as the frame has a document: a page that never finishes loading is listed
  // as far as it came.
  chrome.scripting.executeScript({ target: target, files: ["links.js", "read.js"], injectImmediately: true })
    .then(function (results) {
      answered = true;
      var reading = JSON.parse(results[0].result), links = linksOf(reading.links);
      if (page && withoutFragment(reading.url) !== withoutFragment(page)) {
        QuovarLinks.say(document, TEXTS.changed + " (" + page + " \u2192 " + reading.url + ")", view);
        state("changed");
        return;
      }
      var list = selection ? links.filter(function (link) { return link.selected; }) : links;
      state("showing");  // the first rows; the others follow
      QuovarLinks.showList(clickedFirst(list), document, view, function () { state("shown"); });
    })
    .catch(function (e) {
      answered = true;
      QuovarLinks.say(document, TEXTS.unreadable + (e && e.message ? e.message : e), view);
      state("unreadable");
    });
})();
