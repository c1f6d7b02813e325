// Injected into the frame the list is for, right after links.js and in the same call: the value of
// its last expression is the call's result. The links are marked with the selection (if any) here
// and filtered by the list page, which alone knows which entry was chosen. The result goes as one
// JSON text (the browser carries 100 000 objects across many times slower), and a short one, as
// the time it takes grows with its length (seconds for the 7 MB of 100 000 links in Firefox): a
// link goes as [text, how many characters of the URL before it its URL begins with, the rest of
// its URL, whether selected], a frame that cannot be read as collect gave it.
(function () {
  var selection = document.getSelection();
  if (selection && selection.isCollapsed) selection = null;
  var links = QuovarLinks.collect(document, selection), rows = [], before = "";
  for (var i = 0; i < links.length; i++) {
    var link = links[i], same = 0;
    if (link.frame) {
      rows.push(link);
      continue;
    }
    while (link.url.charCodeAt(same) === before.charCodeAt(same)) same++;
    rows.push(selection ? [link.text, same, link.url.substring(same), link.selected] : [link.text, same, link.url.substring(same)]);
    before = link.url;
  }
  return JSON.stringify({ url: String(document.URL), links: rows });
})();
