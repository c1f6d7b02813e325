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
    note: "\u5099\u8003",
    // "The browser refused the list's window (a pop-up blocker?). Allow pop-ups for this site and
    // choose the entry again."
    refused: "\u30ea\u30f3\u30af\u306e\u4e00\u89a7\u306e\u30a6\u30a3\u30f3\u30c9\u30a6\u3092\u30d6\u30e9\u30a6\u30b6\u304c\u958b\u304b\u305b\u307e\u305b\u3093\u3067\u3057\u305f (\u30dd\u30c3\u30d7\u30a2\u30c3\u30d7\u30d6\u30ed\u30c3\u30af?)\u3002\u3053\u306e\u30b5\u30a4\u30c8\u306e\u30dd\u30c3\u30d7\u30a2\u30c3\u30d7\u3092\u8a31\u53ef\u3057\u3066\u304b\u3089\u3001\u3082\u3046\u4e00\u5ea6\u300c\u30ea\u30f3\u30af\u306e\u5217\u6319\u300d\u3092\u9078\u3093\u3067\u304f\u3060\u3055\u3044\u3002",
    // "This page's links cannot be read (the browser's own pages and the extension stores are closed
    // to extensions): "
    unreadable: "\u3053\u306e\u30da\u30fc\u30b8\u306e\u30ea\u30f3\u30af\u306f\u8aad\u3081\u307e\u305b\u3093 (\u30d6\u30e9\u30a6\u30b6\u81ea\u8eab\u306e\u30da\u30fc\u30b8\u306a\u3069): ",
    loading: "\u8aad\u307f\u8fbc\u307f\u4e2d\u2026",
    // "Still no links after 15 s (the page does not answer, or is too heavy); they show here once read."
    slow: "15 \u79d2\u5f85\u3063\u3066\u3082\u30da\u30fc\u30b8\u306e\u30ea\u30f3\u30af\u3092\u8aad\u3081\u3066\u3044\u307e\u305b\u3093 (\u30da\u30fc\u30b8\u304c\u5fdc\u7b54\u3057\u306a\u3044\u304b\u3001\u91cd\u3059\u304e\u307e\u3059)\u3002\u8aad\u3081\u305f\u3089\u3053\u3053\u306b\u8868\u793a\u3057\u307e\u3059\u3002",
    // "The tab no longer shows the page that was right-clicked; choose the entry again on the page."
    changed: "\u3053\u306e\u30bf\u30d6\u306f\u3001\u53f3\u30af\u30ea\u30c3\u30af\u3057\u305f\u3068\u304d\u306e\u30da\u30fc\u30b8\u3092\u3082\u3046\u8868\u793a\u3057\u3066\u3044\u307e\u305b\u3093\u3002\u30ea\u30f3\u30af\u3092\u5217\u6319\u3059\u308b\u30da\u30fc\u30b8\u3067\u3001\u3082\u3046\u4e00\u5ea6\u9078\u3093\u3067\u304f\u3060\u3055\u3044\u3002",
    frame: "(\u8aad\u3081\u306a\u3044\u30d5\u30ec\u30fc\u30e0)",
    // "A page of another site (ORIGIN): the browser lets only the right-clicked page's site be read."
    foreign: "\u5225\u306e\u30b5\u30a4\u30c8 ({}) \u306e\u30da\u30fc\u30b8\u306a\u306e\u3067\u8aad\u3081\u307e\u305b\u3093\u3002\u30d6\u30e9\u30a6\u30b6\u304c\u8aad\u307e\u305b\u308b\u306e\u306f\u53f3\u30af\u30ea\u30c3\u30af\u3057\u305f\u30da\u30fc\u30b8\u306e\u30b5\u30a4\u30c8\u3060\u3051\u3067\u3059",
    closed: "\u30da\u30fc\u30b8\u304c\u3053\u306e\u30d5\u30ec\u30fc\u30e0\u3092\u9589\u3058\u3066\u3044\u307e\u3059 (sandbox \u306a\u3069) \u306e\u3067\u8aad\u3081\u307e\u305b\u3093",
    clicked: "\u53f3\u30af\u30ea\u30c3\u30af\u3057\u305f\u30ea\u30f3\u30af",
    // "A URL longer than Quovar takes (up to 8192 characters); not copied"
    tooLong: "Quovar \u3067\u6271\u3048\u306a\u3044\u9577\u3055\u306e URL \u3067\u3059 (8192 \u6587\u5b57\u307e\u3067)\u3002\u30b3\u30d4\u30fc\u3057\u307e\u305b\u3093",
    tooLongCount: " (\u9577\u3059\u304e\u308b URL {} \u500b\u306f\u30b3\u30d4\u30fc\u3057\u307e\u305b\u3093)"
  };
  var STYLE =
    "body { font-family: sans-serif; font-size: 13px; margin: 8px; }\n" +
    "h1 { font-size: 18px; margin: 0 0 6px 0; } h1 img { vertical-align: middle; }\n" +
    "#quovar-bar { margin: 4px 0 8px 0; }\n" +
    "#quovar-bar button { margin-right: 6px; }\n" +
    "table { border-collapse: collapse; width: 100%; table-layout: fixed; }\n" +
    "th, td { border-bottom: 1px solid #ddd; padding: 2px 6px; text-align: left; vertical-align: top; }\n" +
    ".box { width: 20px; } .text { width: 30%; } .note { width: 22%; }\n" +
    "td.url { word-break: break-all; font-family: monospace; }\n" +
    "td.note { color: #a00; }\n" +
    "tr.clicked td { background: #fff3c0; font-weight: bold; }\n" +
    // A table lays out every row before it shows one (most of a minute for 100 000 rows); blocks
    // of rows are left for when they are scrolled to. Rows left one by one still cost seconds on
    // 100 000 rows, hence blocks of CHUNK rows.
    "@supports (content-visibility: auto) {\n" +
    "  table, thead, tbody { display: block; }\n" +
    "  tr { display: flex; }\n" +
    "  th, td { flex: 0 0 22%; box-sizing: border-box; }\n" +
    "  .box { flex-basis: 32px; } .text { flex-basis: 30%; } .url { flex: 1 1 0; min-width: 0; }\n" +
    "  #quovar-links tbody { content-visibility: auto; contain-intrinsic-size: auto 2000px; }\n" +
    "}\n";
  var SCHEMES = /^(https?|ftp):\/\/[^\/]/i;
  // A browser never hands out such a URL itself, but a page's own getters can: CR LF inside one
  // would become several lines, several items, on Quovar's paste.
  var CONTROLS = /[\x00-\x20\x7f]/;
  var ORIGIN = /^[a-z][a-z0-9+.\-]*:\/\/[^\/?#]*/i;
  // Quovar refuses a longer URL; such a link is shown, but not offered for copying.
  var LONGEST_URL = 8192;
  var SHOWN_URL = 200;
  var LONGEST_TEXT = 200;
  // A link's text is read no further than this many characters and nodes, so that a link holding
  // a chapter costs no more than one holding a word.
  var READ_TEXT = 1000;
  var READ_NODES = 200;
  // Rows per block of the list (see STYLE); a block is about 2000 pixels high.
  var CHUNK = 100;
  // How long the rows after the first block are made at a time, when they are made in slices.
  var SLICE_MS = 50;
  // The elements looked at, by node name (upper case in HTML documents, as written in others).
  var LINK = 1, FRAME = 2;
  var KINDS = { A: LINK, AREA: LINK, a: LINK, area: LINK, IFRAME: FRAME, FRAME: FRAME, iframe: FRAME, frame: FRAME };
  // Text that trim would change.
  var UNTIDY = /\s\s|[^\S ]|^ | $/;

  function trim(s) { return UNTIDY.test(s) ? s.replace(/\s+/g, " ").replace(/^ | $/g, "") : s; }

  function listed(url) { return SCHEMES.test(url) && !CONTROLS.test(url); }

  function copyable(link) { return !link.frame && link.url.length <= LONGEST_URL; }

  function selected(selection, node) {
    for (var i = 0; i < selection.rangeCount; i++) {
      if (selection.getRangeAt(i).intersectsNode(node)) return true;
    }
    return false;
  }

  // The link's text as its row shows it: white space collapsed, cut after LONGEST_TEXT characters.
  // Most links hold text alone (one string of the page's, as a rule): read at once, not walked.
  function textOf(link) {
    var text = "", node = null, visits = 0;
    if (link.childElementCount === 0) text = String(link.textContent).substring(0, READ_TEXT);
    else node = link.firstChild;
    while (node && text.length < READ_TEXT && visits++ < READ_NODES) {
      if (node.nodeType == 3) text += node.data.substring(0, READ_TEXT - text.length);
      if (node.firstChild) {
        node = node.firstChild;
        continue;
      }
      while (node != link && !node.nextSibling) node = node.parentNode;
      node = node == link ? null : node.nextSibling;
    }
    text = trim(text);
    if (!text) text = trim(String(link.getAttribute("alt") || link.getAttribute("title") || ""));
    if (node || text.length > LONGEST_TEXT) text = text.substring(0, LONGEST_TEXT) + "...";
    return text;
  }

  // A set of URLs: the browser's own where it has one (a quarter quicker on a big page than an
  // object's keys), else an object's keys.
  function urlSet() {
    if (typeof Set == "function") return new Set();
    var keys = {};
    return { has: function (url) { return keys["#" + url] === true; }, add: function (url) { keys["#" + url] = true; } };
  }

  // A frame whose document this script may not read: where it points and why it stays closed.
  function closedFrame(doc, frame) {
    var url = String(frame.src || frame.getAttribute("src") || "about:blank");
    var origin = ORIGIN.exec(url), own = ORIGIN.exec(String(doc.URL));
    var foreign = origin && (!own || origin[0].toLowerCase() != own[0].toLowerCase());
    return { text: TEXTS.frame, url: url, frame: true,
             note: foreign ? TEXTS.foreign.replace("{}", origin[0]) : TEXTS.closed };
  }

  // The page's links (anchors and image-map areas, with those of the frames and open shadow roots
  // this script may read, at their places), as the browser resolved them, in page order; other
  // schemes (javascript:, mailto:, file: ...) are left out and each URL is kept once. The frames
  // that cannot be read are listed in their places too, marked `frame`. With a selection, each row
  // says whether the selection touches it.
  function collect(doc, selection) {
    var seen = urlSet(), list = [];
    // Element lists still being walked: a frame's document or a shadow root is walked at its host.
    var pending = [{ nodes: doc.getElementsByTagName("*"), next: 0, doc: doc }];
    while (pending.length) {
      var walk = pending[pending.length - 1];
      if (walk.next >= walk.nodes.length) {
        pending.pop();
        continue;
      }
      var node = walk.nodes[walk.next++], kind = KINDS[node.nodeName], row = null;
      if (kind === LINK) {
        var url = node.href;  // "" without an href attribute, an object in SVG
        if (typeof url == "string" && listed(url) && !seen.has(url)) {
          seen.add(url);
          row = { text: textOf(node), url: url };
        }
      } else if (kind === FRAME) {
        var inner = null;
        try { inner = node.contentDocument; } catch (e) { inner = null; }
        if (inner) pending.push({ nodes: inner.getElementsByTagName("*"), next: 0, doc: inner });
        else row = closedFrame(walk.doc, node);
      }
      if (row) {
        if (selection) row.selected = selected(selection, node);
        list.push(row);
      }
      if (node.shadowRoot) pending.push({ nodes: node.shadowRoot.querySelectorAll("*"), next: 0, doc: walk.doc });
    }
    return list;
  }

  function element(doc, name, text) {
    var e = doc.createElement(name);
    if (text) e.appendChild(doc.createTextNode(text));
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

  // A message in place of the list (in `into`, or at the end of the page).
  function say(doc, text, into) {
    var p = element(doc, "p", text);
    p.id = "quovar-message";
    if (into) empty(into);
    (into || doc.body).appendChild(p);
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

  // The chosen URLs (of `boxes`, see showList), each followed by CR LF.
  function chosen(boxes) {
    var lines = [];
    for (var i = 0; i < boxes.length; i++) {
      if (boxes[i].box ? boxes[i].box.checked : boxes[i].on) lines.push(boxes[i].url + "\r\n");
    }
    return lines.join("");
  }

  // The row of `link`; `choice` is its entry in showList's boxes, if it may be copied.
  function row(target, link, choice) {
    var tr = element(target, "tr");
    var cell = element(target, "td");
    cell.className = "box";
    var usable = copyable(link);
    if (!link.frame) {
      var box = element(target, "input");
      box.type = "checkbox";
      box.checked = usable && choice.on;
      box.disabled = !usable;
      if (usable) choice.box = box;
      cell.appendChild(box);
    }
    tr.appendChild(cell);
    var text = element(target, "td", link.text);
    text.className = "text";
    tr.appendChild(text);
    var cut = link.url.length > SHOWN_URL;
    var url = element(target, "td", cut ? link.url.substring(0, SHOWN_URL) + "... (" + link.url.length + ")" : link.url);
    url.className = "url";
    if (cut) url.title = link.url;
    tr.appendChild(url);
    var note = element(target, "td", link.note || (usable || link.frame ? "" : TEXTS.tooLong));
    note.className = "note";
    tr.appendChild(note);
    if (link.clicked) tr.className = "clicked";
    return tr;
  }

  // Shows `list` (from collect) in `target` (a document), in `into` (an element of it, or its
  // body) with its check boxes and buttons. Answers the number of links. With `then` (a
  // function), only the first block of rows is made at once, the others in slices between the
  // browser's other work, and `then` is called when the last is in; the buttons cover every link
  // from the start.
  function showList(list, target, into, then) {
    into = into || target.body;
    empty(into);
    // Per link that may be copied: its URL, whether it is chosen, and its check box once made.
    var boxes = [], unfit = 0, links = 0;
    for (var i = 0; i < list.length; i++) {
      if (list[i].frame) continue;
      links++;
      if (copyable(list[i])) boxes.push({ url: list[i].url, on: true, box: null });
      else unfit++;
    }
    var status = element(target, "div", links + TEXTS.count + (unfit ? TEXTS.tooLongCount.replace("{}", unfit) : ""));
    status.id = "quovar-status";
    into.appendChild(status);

    function setAll(on) {
      for (var i = 0; i < boxes.length; i++) {
        boxes[i].on = on;
        if (boxes[i].box) boxes[i].box.checked = on;
      }
    }
    var bar = element(target, "div");
    bar.id = "quovar-bar";
    bar.appendChild(button(target, TEXTS.all, function () { setAll(true); }));
    bar.appendChild(button(target, TEXTS.none, function () { setAll(false); }));
    bar.appendChild(button(target, TEXTS.copy, function () {
      var text = chosen(boxes);
      if (!text) { empty(status); status.appendChild(target.createTextNode(TEXTS.nothing)); return; }
      var lines = text.split("\r\n").length - 1;
      empty(status);
      status.appendChild(target.createTextNode(toClipboard(target, text) ? lines + TEXTS.copied : TEXTS.failed));
    }));
    into.appendChild(bar);

    // The heading in a table of its own: the list's table holds nothing but the links' rows.
    var table = element(target, "table");
    var head = element(target, "tr");
    var names = [["box", ""], ["text", TEXTS.text], ["url", "URL"], ["note", TEXTS.note]];
    for (var n = 0; n < names.length; n++) {
      var th = element(target, "th", names[n][1]);
      th.className = names[n][0];
      head.appendChild(th);
    }
    var thead = element(target, "thead");
    thead.appendChild(head);
    table.appendChild(thead);
    into.appendChild(table);
    table = into.appendChild(element(target, "table"));
    table.id = "quovar-links";
    // The first block goes in at once; the others are made apart from the page (which spares the
    // browser work on each) and go in together once all are made.
    var later = target.createDocumentFragment(), made = 0, chosenMade = 0, rows = null;
    function makeRows(count) {
      for (var end = Math.min(list.length, made + count); made < end; made++) {
        if (made % CHUNK == 0) rows = (made ? later : table).appendChild(element(target, "tbody"));
        rows.appendChild(row(target, list[made], copyable(list[made]) ? boxes[chosenMade++] : null));
      }
    }
    // The rows after the first block: all at once without `then`, else until the time `until`
    // and the rest in a moment.
    function makeRest(until) {
      while (made < list.length && (!then || new Date().getTime() < until)) makeRows(CHUNK);
      if (made < list.length) {
        (target.defaultView || target.parentWindow).setTimeout(function () { makeRest(new Date().getTime() + SLICE_MS); }, 0);
        return;
      }
      table.appendChild(later);
      if (then) then();
    }
    makeRows(CHUNK);
    makeRest(0);
    return links;
  }

  // Shows the links of `source` (a window) in `target` (a document).
  function show(source, target) {
    target.title = TEXTS.title;
    return showList(collect(source.document), target);
  }

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

  return { TEXTS: TEXTS, collect: collect, listed: listed, showList: showList, show: show, fromMenu: fromMenu,
           addStyle: addStyle, say: say };
})();
