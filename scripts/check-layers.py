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

ARCHITECTURE = os.path.join(ROOT, "docs", "ARCHITECTURE.md")
FLOORS = {}
MAX_LINES = 800
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_DIRS = ("src", "tests", "bench", "fuzz")
DB = os.path.join(SRC, "platform", "db")
PROVIDER = re.compile(r"^(SqliteProvider|Postgres|DbProvider)")
QT_SQL = re.compile(r'^\s*#\s*include\s+[<"](?:QtSql/)?(?:QSql\w*|QtSql)(?:\.h)?[>"]')


def read_floors():
    """The floor table of docs/ARCHITECTURE.md, the one place it is kept: folder -> floor.
    Lower numbers are lower floors; folders on one floor do not include each other."""
    text = open(ARCHITECTURE, encoding="utf-8").read()
    section = text.split("\n## Floors", 1)[1].split("\n## ", 1)[0]
    floors = {}
    for line in section.splitlines():
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) >= 2 and cells[0].isdigit():
            for name in re.findall(r"`([^`]+)`", cells[1]):
                floors["." if name == "main.cpp" else name.rstrip("/")] = int(cells[0])
    return floors


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


# Qt's widget classes a window of ours may derive from; a class derived from one of them,
# or from a class of ours that is, keeps its state private.
QT_WIDGETS = {
    "QWidget", "QDialog", "QMainWindow", "QFrame", "QAbstractScrollArea", "QAbstractItemView",
    "QTableView", "QTreeView", "QListView", "QListWidget", "QTableWidget", "QTreeWidget",
    "QLabel", "QLineEdit", "QTextEdit", "QPlainTextEdit", "QTextBrowser", "QComboBox",
    "QPushButton", "QToolButton", "QCheckBox", "QSpinBox", "QProgressBar", "QMenu", "QMenuBar",
    "QToolBar", "QStatusBar", "QTabWidget", "QStackedWidget", "QSplitter", "QScrollArea",
    "QHeaderView", "QDockWidget", "QGroupBox", "QMessageBox", "QFileDialog", "QWizard",
}
CLASS_HEAD = re.compile(r"\b(class|struct)\s+(\w+)\s*(?:final\s*)?(?::([^{;]*))?\{")
ACCESS_ANYWHERE = re.compile(r"\b(public|protected|private)\s*(?:Q_SLOTS|slots)?\s*:(?!:)")
ACCESS = re.compile(r"^\0(public|protected|private)\0$")


def without_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    return re.sub(r"^\s*#[^\n]*", "", text, flags=re.M)


def without_templates(text):
    previous = None
    while previous != text:
        previous = text
        text = re.sub(r"<[^<>]*>", "", text)
    return text


def class_bodies(text):
    """(name, kind, bases, body) of every class or struct defined in text."""
    for match in CLASS_HEAD.finditer(text):
        depth, start = 1, match.end()
        end = start
        while end < len(text) and depth:
            depth += {"{": 1, "}": -1}.get(text[end], 0)
            end += 1
        bases = [b for b in re.findall(r"[\w:]+", without_templates(match.group(3) or ""))
                 if b not in ("public", "protected", "private", "virtual")]
        yield match.group(2), match.group(1), [b.split("::")[-1] for b in bases], text[start:end - 1]


def public_data_members(kind, body):
    """The declarations of data members in the public part of a class body."""
    access = "public" if kind == "struct" else "private"
    depth, statement, found = 0, "", []
    body = re.sub(r"\bQ_[A-Z_]+\b(\s*\([^)]*\))?", " ", body)
    body = ACCESS_ANYWHERE.sub(lambda m: "\0%s\0" % m.group(1), body)
    for char in body:
        if char == "{":
            depth += 1
        elif char == "}":
            depth -= 1
            if depth == 0 and re.search(r"\b(class|struct|enum|union)\b|\)\s*(const\s*)?(override\s*)?(noexcept\s*)?$", statement.split("{")[0].strip()):
                statement = ""  # a nested type or an inline function body
                continue
        if depth:
            statement += char
            continue
        statement += char
        head = ACCESS.match(statement.strip())
        if head and statement.endswith("\0"):
            access, statement = head.group(1), ""
            continue
        if char != ";":
            continue
        decl = " ".join(statement.split())
        statement = ""
        if access != "public" or not decl or decl == ";":
            continue
        if re.match(r"(using|friend|typedef|static constexpr|static const|enum|Q_\w+|class|struct)\b", decl):
            continue
        plain = without_templates(decl.split("=")[0].split("{")[0])
        if "(" in plain or "operator" in plain:
            continue
        found.append(decl)
    return found


def widget_state_problems():
    classes = {}
    for path in sources(SRC, (".h",)):
        text = without_comments(open(path, encoding="utf-8").read())
        for name, kind, bases, body in class_bodies(text):
            classes[name] = (path, kind, bases, body)

    def is_widget(name, seen=()):
        if name in QT_WIDGETS:
            return True
        if name not in classes or name in seen:
            return False
        return any(is_widget(b, seen + (name,)) for b in classes[name][2])

    problems = []
    for name, (path, kind, bases, body) in sorted(classes.items()):
        if not any(is_widget(b) for b in bases):
            continue
        for decl in public_data_members(kind, body):
            problems.append("%s: %s, a widget, shows its state: %s" % (os.path.relpath(path, ROOT), name, decl))
    return problems


def headerless_problems():
    problems = []
    for path in sources(SRC, (".cpp",)):
        if os.path.relpath(path, SRC) == "main.cpp":
            continue
        if not os.path.isfile(path[: -len(".cpp")] + ".h"):
            problems.append("%s: no header of its own name" % os.path.relpath(path, ROOT))
    return problems


def main():
    problems = []
    FLOORS.update(read_floors())
    if not FLOORS:
        problems.append("docs/ARCHITECTURE.md: no floor table under \"## Floors\"")
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
    problems += widget_state_problems() + headerless_problems()
    for problem in problems:
        print(problem)
    if problems:
        print("check-layers: %d problem(s)" % len(problems))
        return 1
    print("check-layers: %d core and %d gui files, every include points down" % (len(core), len(gui)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
