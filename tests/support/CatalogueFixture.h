#pragma once

#include "app/GeneralUnit.h"
#include "platform/db/Schema.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QPair>

#include <functional>
#include <memory>
#include <tuple>

// The world of a catalogue test function: its own environment (home, settings), a new
// catalogue on the engine under test, and the data module connected to it as at start.
// A test class derives from it, opens in init() and closes in cleanup().
class TCatalogueFixture {
protected:
    // fill puts the test's rows in before the module connects.
    void openCatalogue(const std::function<void(TTestCatalogue&)>& fill = {}) {
        env = std::make_unique<TTestEnvironment>();
        cat = std::make_unique<TTestCatalogue>();
        if (fill) {
            fill(*cat);
        }
        module = cat->connectedModule();
    }
    // The module before the catalogue it is connected to, the environment last.
    void closeCatalogue() {
        module.reset();
        cat.reset();
        env.reset();
    }

    // The records window's tests start from two links (the second visited, without a
    // category) and the list's two categories; returns the keys of the two links.
    static QPair<QString, QString> AddTwoLinks(TTestCatalogue& c) {
        const QString first = c.addUrl("a.example", "Первая", "Новости");
        const QString second = c.addUrl("mailto:b@example.org", "Вторая", QString(), true);
        c.otherExec("INSERT INTO CategoryList(CategoryName) VALUES ('Новости'), ('Работа')");
        return {first, second};
    }
    // A catalogue opened with AddTwoLinks's records, whose keys are keyA and keyB.
    void openWithTwoLinks() {
        openCatalogue([this](TTestCatalogue& c) { std::tie(keyA, keyB) = AddTwoLinks(c); });
    }

    // The catalogue as an older program made it, with 255 characters of categories: the
    // table of records made anew, empty, and the module connected again.
    void useOlderCategorySize() {
        module.reset();
        if (TestEngine() == TTestEngine::SQLite) {
            cat->otherExec("DROP TABLE SubjectURLs");
            cat->otherExec(SqliteCatalogueSchema()
                               .section(";\n", 0, 0)
                               .replace("Category TEXT(4000)", "Category TEXT(255)"));
        } else {
            cat->otherExec("DELETE FROM SubjectURLs");
            cat->otherExec(
                "ALTER TABLE [SubjectURLs] DROP CONSTRAINT [SubjectURLs_Category_check]");
            cat->otherExec("ALTER TABLE [SubjectURLs] ADD CHECK (char_length([Category]) <= 255)");
        }
        module = cat->connectedModule();
    }

    // The first value a Jet query gives on the other connection.
    QVariant value(const QString& sql) const { return cat->otherValue(sql); }

    std::unique_ptr<TTestEnvironment> env;
    std::unique_ptr<TTestCatalogue> cat;
    std::unique_ptr<TGeneralModule> module;
    QString keyA;
    QString keyB;
};
