#!/usr/bin/env python3
"""Checks the shape of the source tree; exits 1 and names every breach.

- A folder of src/ includes only folders on a lower floor (docs/ARCHITECTURE.md).
- A file of the core library includes no header that only the gui library compiles.
- The core library links neither Qt Widgets nor Qt Gui.
- No source file is longer than 800 lines.
- The database providers (src/platform/db/SqliteProvider*, Postgres*, DbProvider*) include
  no Qt SQL header (<QSqlDatabase> or any other <QSql...>): they speak to the engines' own
  client libraries, and the program ships without Qt's database plugins.
"""

import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SRC = os.path.join(ROOT, "src")

# Lower numbers are lower floors; folders on one floor do not include each other.
FLOORS = {
    "platform": 0,
    "platform/registry": 1,
    "platform/db": 1,
    "common": 2,
    "gridtools": 3,
    "mail": 3,
    "settings": 3,
    "reports": 4,
    "views": 5,
    "urls": 6,
    "app": 7,
    ".": 8,
}
MAX_LINES = 800
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_DIRS = ("src", "tests", "bench", "fuzz")
DB = os.path.join(SRC, "platform", "db")
PROVIDER = re.compile(r"^(SqliteProvider|Postgres|DbProvider)")
QT_SQL = re.compile(r'^\s*#\s*include\s+[<"](?:QtSql/)?(?:QSql\w*|QtSql)(?:\.h)?[>"]')


def folder_of(path):
    return os.path.dirname(os.path.relpath(path, SRC)) or "."


def resolve(including_file, name):
    for base in (os.path.dirname(including_file), SRC):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(candidate):
            return candidate
    return None


def sources(top, suffixes=(".h", ".cpp")):
    for folder, _, files in os.walk(top):
        for name in sorted(files):
            if name.endswith(suffixes):
                yield os.path.join(folder, name)


def cmake_blocks(command, target):
    """The arguments of every `command(target ...)` call under src/, with their folder."""
    pattern = re.compile(r"%s\(\s*%s\b([^)]*)\)" % (command, target), re.S)
    for cmake in sources(SRC, ("CMakeLists.txt",)):
        text = re.sub(r"#[^\n]*", "", open(cmake, encoding="utf-8").read())
        for match in pattern.finditer(text):
            yield os.path.dirname(cmake), match.group(1).split()


def library_files(target):
    files = set()
    for folder, words in cmake_blocks("target_sources", target):
        for word in words:
            if word.endswith((".h", ".cpp")):
                files.add(os.path.normpath(os.path.join(folder, word)))
    return files


def main():
    problems = []
    core = library_files("linkarium_core")
    gui = library_files("linkarium_gui")
    for path in sources(SRC):
        here = folder_of(path)
        if here not in FLOORS:
            problems.append("%s: folder %s has no floor" % (os.path.relpath(path, ROOT), here))
            continue
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            match = INCLUDE.match(line)
            target = match and resolve(path, match.group(1))
            if not target or not target.startswith(SRC + os.sep):
                continue
            there = folder_of(target)
            where = "%s:%d" % (os.path.relpath(path, ROOT), number)
            if there != here and FLOORS.get(there, 99) >= FLOORS[here]:
                problems.append("%s: %s includes %s, which is not below it" % (where, here, there))
            if path in core and target in gui:
                problems.append("%s: the core includes %s, a gui file" % (where, match.group(1)))
    for path in sources(DB):
        if not PROVIDER.match(os.path.basename(path)):
            continue
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            if QT_SQL.match(line):
                problems.append("%s:%d: a database provider includes Qt SQL (%s)"
                                % (os.path.relpath(path, ROOT), number, line.strip()))
    for _, words in cmake_blocks("target_link_libraries", "linkarium_core"):
        for word in words:
            if word in ("Qt6::Gui", "Qt6::Widgets", "Qt6::PrintSupport", "linkarium_gui"):
                problems.append("linkarium_core links %s" % word)
    for top in SOURCE_DIRS:
        for path in sources(os.path.join(ROOT, top)):
            with open(path, encoding="utf-8") as f:
                count = sum(1 for _ in f)
            if count > MAX_LINES:
                problems.append("%s: %d lines (at most %d)" % (os.path.relpath(path, ROOT), count, MAX_LINES))
    for problem in problems:
        print(problem)
    if problems:
        print("check-layers: %d problem(s)" % len(problems))
        return 1
    print("check-layers: %d core and %d gui files, every include points down" % (len(core), len(gui)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
