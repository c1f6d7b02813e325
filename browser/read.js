// Injected into the frame the list is for, right after links.js and in the same call: the value of
// its last expression is the call's result. The links are marked with the selection (if any) here
// and filtered by the list page, which alone knows which entry was chosen. The result goes as one
// JSON text: the browser carries 100 000 objects across many times slower.
(function () {
  var selection = document.getSelection();
  return JSON.stringify({ url: String(document.URL),
                          links: QuovarLinks.collect(document, selection && !selection.isCollapsed ? selection : null) });
})();
