#!/usr/bin/env python3
"""Writes src/platform/HtmlEntityTable.cpp: every named character reference of HTML.

The list is the HTML standard's, as Python's html.entities.html5 holds it. Only the names
with their semicolon are taken: the bookmark reader reads a name without one as text.
Run it again when that list grows; clang-format is applied when it is on the PATH.
"""

import html.entities
import os
import shutil
import subprocess

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
TARGET = os.path.join(ROOT, "src", "platform", "HtmlEntityTable.cpp")
WIDTH = 90


def entries():
    for key, value in sorted(html.entities.html5.items()):
        if key.endswith(";"):
            yield "%s:%s" % (key[:-1], "+".join("%X" % ord(c) for c in value))


def main():
    lines, line = [], ""
    for entry in entries():
        if line and len(line) + len(entry) + 1 > WIDTH:
            lines.append(line)
            line = ""
        line += entry + " "
    lines.append(line)
    with open(TARGET, "w", encoding="utf-8") as out:
        out.write('#include "platform/HtmlEntityTable.h"\n\n')
        out.write("// Written by scripts/gen-html-entities.py from the HTML standard's list of named\n")
        out.write("// character references; not to be edited by hand.\n")
        out.write("const char kHtmlNamedReferences[] =\n")
        out.write("\n".join('    "%s"' % l for l in lines) + ";\n")
    if shutil.which("clang-format"):
        subprocess.run(["clang-format", "-i", TARGET], check=True)


if __name__ == "__main__":
    main()
