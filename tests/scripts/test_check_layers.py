#!/usr/bin/env python3
"""The tree checker, run on small planted trees: each breach it exists to catch makes it
fail and name the file, and a clean tree passes."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                       "check-layers.py")

ARCHITECTURE = """# Architecture

## Floors

| floor | folders | holds |
|---|---|---|
| 3 | `main.cpp` | the entry |
| 2 | `app/` | the windows |
| 1 | `views/` | views |
| 0 | `platform/`, `platform/db/` | the base |

## Where things go
"""

CMAKE = """add_library(linkarium_core STATIC)
target_link_libraries(linkarium_core PUBLIC Qt6::Core)
"""

WINDOW = """#pragma once
#include <QDialog>
#include <functional>
class TBase : public QDialog {
    Q_OBJECT
public:
    static constexpr int Role = 1;
    void Run();
    QString Title() const { return m_title; }
    enum class TKind { A, B };
    struct TPart {
        int shown = 0;
    };
%s
private:
    QString m_title;
};
class TDerived final : public TBase {
public:
    explicit TDerived(QWidget* parent = nullptr);
%s
};
class TPlain {
public:
    int value = 0;
};
"""


class CheckLayers(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.root)
        os.makedirs(os.path.join(self.root, "scripts"))
        shutil.copy(CHECKER, os.path.join(self.root, "scripts", "check-layers.py"))
        self.write("docs/ARCHITECTURE.md", ARCHITECTURE)
        self.write("src/CMakeLists.txt", CMAKE)
        self.write("src/main.cpp", '#include "app/Main.h"\n')
        self.write("src/app/Main.h", '#pragma once\n#include "views/View.h"\n')
        self.write("src/app/Main.cpp", '#include "app/Main.h"\n')
        self.write("src/views/View.h", '#pragma once\n#include "platform/db/Base.h"\n')
        self.write("src/views/View.cpp", '#include "views/View.h"\n')
        self.write("src/platform/db/Base.h", "#pragma once\n")
        self.write("src/views/Window.h", WINDOW % ("", ""))

    def write(self, name, text):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def run_checker(self):
        done = subprocess.run([sys.executable, os.path.join(self.root, "scripts", "check-layers.py")],
                              capture_output=True, text=True)
        return done.returncode, done.stdout

    def test_clean_tree_passes(self):
        code, out = self.run_checker()
        self.assertEqual(code, 0, out)

    def test_each_breach_is_named(self):
        cases = [
            ("include pointing up", "src/views/Up.h", '#include "app/Main.h"\n',
             "src/views/Up.h:1: views includes app"),
            ("include across a floor", "src/platform/Side.h", '#include "platform/db/Base.h"\n',
             "src/platform/Side.h:1: platform includes platform/db"),
            ("folder without a floor", "src/reports/R.h", "#pragma once\n",
             "folder reports has no floor"),
            ("source without its header", "src/views/Lonely.cpp", '#include "views/View.h"\n',
             "src/views/Lonely.cpp: no header of its own name"),
            ("long file", "src/views/Long.h", "//\n" * 801, "src/views/Long.h: 801 lines"),
            ("Qt SQL in a provider", "src/platform/db/SqliteProvider.h",
             "#pragma once\n#include <QSqlDatabase>\n", "SqliteProvider.h"),
        ]
        for name, path, text, expected in cases:
            with self.subTest(name):
                self.write(path, text)
                code, out = self.run_checker()
                os.remove(os.path.join(self.root, path))
                self.assertEqual(code, 1, out)
                self.assertIn(expected, out)

    def test_public_state_of_a_window_is_named(self):
        cases = [
            ("action", "    QAction* actGo;", "", "TBase, a widget, shows its state: QAction* actGo;"),
            ("hook", "    std::function<void(int)> OnGo;", "",
             "std::function<void(int)> OnGo;"),
            ("initialised member", "", "    int Delay = 1000;",
             "TDerived, a widget, shows its state: int Delay = 1000;"),
            ("brace-initialised", "", "    QList<int> Keys{1, 2};", "QList<int> Keys{1, 2};"),
        ]
        for name, base, derived, expected in cases:
            with self.subTest(name):
                self.write("src/views/Window.h", WINDOW % (base, derived))
                code, out = self.run_checker()
                self.assertEqual(code, 1, out)
                self.assertIn(expected, out)
                self.assertNotIn("TPlain", out)
                self.assertNotIn("Role", out)
                self.assertNotIn("shown", out)

    def test_floors_come_from_the_architecture_notes(self):
        # Moved up a floor in the notes, the same include is allowed.
        self.write("src/views/Up.h", '#include "app/Main.h"\n')
        self.write("docs/ARCHITECTURE.md",
                   ARCHITECTURE.replace("| 2 | `app/`", "| 1 | `app/`").replace(
                       "| 1 | `views/`", "| 2 | `views/`"))
        self.write("src/app/Main.h", "#pragma once\n")
        code, out = self.run_checker()
        self.assertEqual(code, 0, out)


if __name__ == "__main__":
    unittest.main()
