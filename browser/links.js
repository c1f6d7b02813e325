// The link list shared by the link page EnumLinks.html (the old browser's context menu) and the
// browser extension's list page: which links of a page are listed, how the list looks, and how
// the chosen URLs reach the clipboard, one per line ending in CR LF, for Quovar's paste.
//
// ASCII only (the Japanese texts are escapes): the build puts this file inside EnumLinks.html,
// which must read the same in every browser encoding. Every text taken from a page is shown as
// text, never as markup, and nothing is loaded from anywhere.
var QuovarLinks = (function () {
  var TEXTS = {
    title: "\u30ea\u30f3\u30af\u306e\u5217\u6319",
    intro: "\u3053\u306e\u30da\u30fc\u30b8\u306f\u30d6\u30e9\u30a6\u30b6\u306e\u30da\u30fc\u30b8\u306e\u53f3\u30af\u30ea\u30c3\u30af\u30e1\u30cb\u30e5\u30fc\u300c\u30ea\u30f3\u30af\u306e\u5217\u6319\u300d\u304b\u3089\u958b\u304d\u307e\u3059\u3002Quovar \u306e\u8d77\u52d5\u4e2d\u306b\u3001\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3057\u305f\u3044\u30ea\u30f3\u30af\u306e\u3042\u308b\u30da\u30fc\u30b8\u3067\u53f3\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    count: " \u500b\u306e\u30ea\u30f3\u30af (http / https / ftp)",
    all: "\u5168\u3066\u9078\u629e",
    none: "\u9078\u629e\u89e3\u9664",
    copy: "\u30b3\u30d4\u30fc",
    copied: " \u500b\u306e\uff35\uff32\uff2c\u3092\u30b3\u30d4\u30fc\u3057\u307e\u3057\u305f\u3002Quovar \u3067\u8cbc\u308a\u4ed8\u3051\u3066\u304f\u3060\u3055\u3044\u3002",
    failed: "\u30af\u30ea\u30c3\u30d7\u30dc\u30fc\u30c9\u306b\u30b3\u30d4\u30fc\u3067\u304d\u307e\u305b\u3093\u3067\u3057\u305f",
    nothing: "\u30b3\u30d4\u30fc\u3059\u308b\u30ea\u30f3\u30af\u304c\u9078\u3070\u308c\u3066\u3044\u307e\u305b\u3093",
    text: "\u30c6\u30ad\u30b9\u30c8",
    // "The browser refused the list's window (a pop-up blocker?). Allow pop-ups for this site and
    // choose the entry again."
    refused: "\u30ea\u30f3\u30af\u306e\u4e00\u89a7\u306e\u30a6\u30a3\u30f3\u30c9\u30a6\u3092\u30d6\u30e9\u30a6\u30b6\u304c\u958b\u304b\u305b\u307e\u305b\u3093\u3067\u3057\u305f (\u30dd\u30c3\u30d7\u30a2\u30c3\u30d7\u30d6\u30ed\u30c3\u30af?)\u3002\u3053\u306e\u30b5\u30a4\u30c8\u306e\u30dd\u30c3\u30d7\u30a2\u30c3\u30d7\u3092\u8a31\u53ef\u3057\u3066\u304b\u3089\u3001\u3082\u3046\u4e00\u5ea6\u300c\u30ea\u30f3\u30af\u306e\u5217\u6319\u300d\u3092\u9078\u3093\u3067\u304f\u3060\u3055\u3044\u3002",
    // "This page's links cannot be read (the browser's own pages and the extension stores are closed
    // to extensions): "
    unreadable: "\u3053\u306e\u30da\u30fc\u30b8\u306e\u30ea\u30f3\u30af\u306f\u8aad\u3081\u307e\u305b\u3093 (\u30d6\u30e9\u30a6\u30b6\u81ea\u8eab\u306e\u30da\u30fc\u30b8\u306a\u3069): "
  };
  var STYLE =
    "body { font-family: sans-serif; font-size: 13px; margin: 8px; }\n" +
    "#quovar-bar { margin: 4px 0 8px 0; }\n" +
    "#quovar-bar button { margin-right: 6px; }\n" +
    "table { border-collapse: collapse; width: 100%; }\n" +
    "th, td { border-bottom: 1px solid #ddd; padding: 2px 6px; text-align: left; vertical-align: top; }\n" +
    "td.url { word-break: break-all; font-family: monospace; }\n";
  var SCHEMES = /^(https?|ftp):\/\/[^\/]/i;
  // A browser never hands out such a URL itself, but a page's own getters can: CR LF inside one
  // would become several lines, several items, on Quovar's paste.
  var CONTROLS = /[\x00-\x20\x7f]/;
  var LONGEST_TEXT = 200;

  function trim(s) { return s.replace(/\s+/g, " ").replace(/^ | $/g, ""); }

  function selected(selection, node) {
    for (var i = 0; i < selection.rangeCount; i++) {
      if (selection.getRangeAt(i).intersectsNode(node)) return true;
    }
    return false;
  }

  // The page's links (anchors and image-map areas), as the browser resolved them, in page order;
  // other schemes (javascript:, mailto:, file: ...) are left out and each URL is kept once. With a
  // selection, only the links it touches.
  function collect(doc, selection) {
    var links = doc.links, seen = {}, list = [];
    for (var i = 0; i < links.length; i++) {
      var url = String(links[i].href || "");
      if (!SCHEMES.test(url) || CONTROLS.test(url) || seen["#" + url]) continue;
      if (selection && !selected(selection, links[i])) continue;
      seen["#" + url] = true;
      var text = links[i].textContent;
      if (text == null) text = links[i].innerText || "";
      text = trim(String(text));
      if (!text) text = trim(String(links[i].getAttribute("alt") || links[i].getAttribute("title") || ""));
      if (text.length > LONGEST_TEXT) text = text.substring(0, LONGEST_TEXT) + "...";
      list.push({ text: text, url: url });
    }
    return list;
  }

  function element(doc, name, text) {
    var e = doc.createElement(name);
    if (text != null) e.appendChild(doc.createTextNode(text));
    return e;
  }

  function empty(node) { while (node.firstChild) node.removeChild(node.firstChild); }

  function button(doc, text, action) {
    var b = element(doc, "button", text);
    b.type = "button";
    b.onclick = action;
    return b;
  }

  function addStyle(doc) {
    var style = doc.createElement("style");
    style.type = "text/css";
    var head = doc.getElementsByTagName("head")[0];
    head.appendChild(style);
    if (style.styleSheet) style.styleSheet.cssText = STYLE;  // older Internet Explorers
    else style.appendChild(doc.createTextNode(STYLE));
  }

  // A message in place of the list.
  function say(doc, text) {
    var p = element(doc, "p", text);
    p.id = "quovar-message";
    doc.body.appendChild(p);
  }

  // The clipboard of the browser that runs this page.
  function toClipboard(doc, text) {
    var win = doc.defaultView || doc.parentWindow;
    try {
      if (win.clipboardData && win.clipboardData.setData) return win.clipboardData.setData("Text", text) !== false;
    } catch (e) { return false; }
    // The copy event's own data, not a selected text area: a text area's value keeps LF alone.
    var put = false;
    function give(e) {
      if (!e.clipboardData) return;
      e.clipboardData.setData("text/plain", text);
      e.preventDefault();
      put = true;
    }
    doc.addEventListener("copy", give, true);
    var done = false;
    try { done = doc.execCommand("copy"); } catch (e) { done = false; }
    doc.removeEventListener("copy", give, true);
    return done && put;
  }

  // The chosen URLs, each followed by CR LF.
  function chosen(boxes, list) {
    var lines = [];
    for (var i = 0; i < boxes.length; i++) if (boxes[i].checked) lines.push(list[i].url + "\r\n");
    return lines.join("");
  }

  // Shows `list` (from collect) in `target` (a document) with its check boxes and buttons.
  function showList(list, target) {
    target.title = TEXTS.title;
    var body = target.body;
    empty(body);
    var status = element(target, "div", list.length + TEXTS.count);
    status.id = "quovar-status";
    body.appendChild(status);

    var boxes = [];
    function setAll(on) { for (var i = 0; i < boxes.length; i++) boxes[i].checked = on; }
    var bar = element(target, "div");
    bar.id = "quovar-bar";
    bar.appendChild(button(target, TEXTS.all, function () { setAll(true); }));
    bar.appendChild(button(target, TEXTS.none, function () { setAll(false); }));
    bar.appendChild(button(target, TEXTS.copy, function () {
      var text = chosen(boxes, list);
      if (!text) { empty(status); status.appendChild(target.createTextNode(TEXTS.nothing)); return; }
      var lines = text.split("\r\n").length - 1;
      empty(status);
      status.appendChild(target.createTextNode(toClipboard(target, text) ? lines + TEXTS.copied : TEXTS.failed));
    }));
    body.appendChild(bar);

    var table = element(target, "table");
    var head = element(target, "tr");
    head.appendChild(element(target, "th", ""));
    head.appendChild(element(target, "th", TEXTS.text));
    head.appendChild(element(target, "th", "URL"));
    var thead = element(target, "thead");
    thead.appendChild(head);
    table.appendChild(thead);
    var rows = element(target, "tbody");
    rows.id = "quovar-links";
    for (var i = 0; i < list.length; i++) {
      var row = element(target, "tr");
      var cell = element(target, "td");
      var box = element(target, "input");
      box.type = "checkbox";
      box.checked = true;
      boxes.push(box);
      cell.appendChild(box);
      row.appendChild(cell);
      row.appendChild(element(target, "td", list[i].text));
      var url = element(target, "td", list[i].url);
      url.className = "url";
      row.appendChild(url);
      rows.appendChild(row);
    }
    table.appendChild(rows);
    body.appendChild(table);
    return list.length;
  }

  // Shows the links of `source` (a window) in `target` (a document).
  function show(source, target) { return showList(collect(source.document), target); }

  // The old browser's context menu: `own` is the link page's window, `source` the page's. The list
  // gets a window of its own, opened from the link page's window: the page's `open` is the page's
  // to replace. When the browser refuses the window, the user is told so instead of seeing nothing.
  function fromMenu(source, own) {
    var view = null;
    try { view = own.open("", "_blank", "width=760,height=560,resizable=yes,scrollbars=yes"); } catch (e) { view = null; }
    if (!view) {
      say(own.document, TEXTS.refused);
      own.alert(TEXTS.refused);
      return -1;
    }
    view.document.open();
    view.document.write("<!DOCTYPE html><html><head><title></title></head><body></body></html>");
    view.document.close();
    addStyle(view.document);
    return show(source, view.document);
  }

  return { TEXTS: TEXTS, collect: collect, showList: showList, show: show, fromMenu: fromMenu,
           addStyle: addStyle, say: say };
})();
