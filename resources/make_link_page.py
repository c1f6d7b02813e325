#!/usr/bin/env python3
"""Writes the link page users get: resources/EnumLinks.html with the list's script, browser/links.js
(shared with the browser extension), put inside it, so that the page is one file that loads nothing.

    make_link_page.py TARGET.html"""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGE = os.path.join(ROOT, "resources", "EnumLinks.html")
SCRIPT = os.path.join(ROOT, "browser", "links.js")
PLACE = '<script type="text/javascript" src="../browser/links.js"></script>'


def link_page():
    """The page's text, with the shared script in place of the element that names it."""
    with open(PAGE, encoding="ascii") as f:
        page = f.read()
    with open(SCRIPT, encoding="ascii") as f:
        script = f.read()
    if page.count(PLACE) != 1:
        raise SystemExit("%s: no single %s" % (PAGE, PLACE))
    if "</script" in script.lower():
        raise SystemExit("%s would end its script element early" % SCRIPT)
    return page.replace(PLACE, '<script type="text/javascript">\n' + script + "</script>")


if __name__ == "__main__":
    with open(sys.argv[1], "w", encoding="ascii", newline="\n") as f:
        f.write(link_page())
