// Injected into the frame the list is for, right after links.js and in the same call: the value of
// its last expression is the call's result. The links are marked with the selection (if any) here
// and filtered by the list page, which alone knows which entry was chosen.
(function () {
  var selection = document.getSelection();
  return { url: String(document.URL),
           links: QuovarLinks.collect(document, selection && !selection.isCollapsed ? selection : null) };
})();
