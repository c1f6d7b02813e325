#!/usr/bin/env python3
"""Writes the distribution's readme as a Windows user's Notepad reads it: code page 932, CR LF.

    make_readme.py SOURCE.txt (UTF-8) TARGET.txt"""
import sys

with open(sys.argv[1], encoding="utf-8") as f:
    text = f.read()
with open(sys.argv[2], "wb") as f:
    f.write(text.replace("\n", "\r\n").encode("cp932"))
