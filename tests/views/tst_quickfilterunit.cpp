#include "views/QuickFilterUnit.h"

#include <QtTest>

namespace {
TSelectedCell textCell(const QString& value) {
    TSelectedCell c;
    c.FieldName = QStringLiteral("URL");
    c.FieldClass = TFieldClass::Text;
    c.Text = value;
    return c;
}
}  // namespace

class TestQuickFilterUnit final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void narrowing_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("narrowed");
        QTest::newRow("none") << ""
                              << "C"
                              << "(C)";
        QTest::newRow("conjunction extended") << "(A) AND (B)"
                                              << "C"
                                              << "(A) AND (B) AND (C)";
        QTest::newRow("top-level OR grouped") << "(A) OR (B)"
                                              << "C"
                                              << "((A) OR (B)) AND (C)";
        QTest::newRow("OR inside a condition needs no group")
            << "(Category <> \"Work\" OR Category IS NULL)"
            << "C"
            << "(Category <> \"Work\" OR Category IS NULL) AND (C)";
        QTest::newRow("a grouped filter is a conjunction again") << "((A) OR (B)) AND (C)"
                                                                 << "D"
                                                                 << "((A) OR (B)) AND (C) AND (D)";
        QTest::newRow("words outside the parentheses") << "(A) AND (B) OR x = 1"
                                                       << "C"
                                                       << "((A) AND (B) OR x = 1) AND (C)";
    }
    void narrowing() {
        QFETCH(QString, filter);
        QFETCH(QString, condition);
        QFETCH(QString, narrowed);
        QCOMPARE(TFilterExpression(filter).NarrowedBy(condition), narrowed);
    }

    void alreadyApplied_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<bool>("requires");
        QTest::newRow("same condition") << "(Amount = 2)"
                                        << "Amount = 2" << true;
        QTest::newRow("substring of another condition") << "(SubAmount = 2)"
                                                        << "Amount = 2" << false;
        QTest::newRow("inside an exclusion") << "(Category <> \"Work\" OR Category IS NULL)"
                                             << "Category IS NULL" << false;
        QTest::newRow("one of ORed conditions does not restrict") << "(A = 1) OR (B = 2)"
                                                                  << "A = 1" << false;
        QTest::newRow("second of ANDed conditions") << "(A = 1) AND (B = \"x)\")"
                                                    << "B = \"x)\"" << true;
        QTest::newRow("in a literal") << "(A = \"B = 2\")"
                                      << "B = 2" << false;
    }
    void alreadyApplied() {
        QFETCH(QString, filter);
        QFETCH(QString, condition);
        QFETCH(bool, requires);
        QCOMPARE(TFilterExpression(filter).Requires(condition), requires);
    }

    void cellConditions_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("selectionStart");
        QTest::addColumn<int>("selectionLength");
        QTest::addColumn<QString>("keep");
        QTest::addColumn<QString>("exclude");
        QTest::newRow("whole value with percent is an equality")
            << "a%20b_c" << -1 << 0 << "URL = \"a%20b_c\""
            << "URL <> \"a%20b_c\" OR URL IS NULL";
        QTest::newRow("open editor without selection: the whole value")
            << "news" << 0 << 0 << "URL = \"news\""
            << "URL <> \"news\" OR URL IS NULL";
        QTest::newRow("partial selection escapes wildcards")
            << "x%20_y" << 1 << 4 << "URL LIKE \"%[%]20[_]%\""
            << "URL NOT LIKE \"%[%]20[_]%\" OR URL IS NULL";
        QTest::newRow("quote doubled in a pattern")
            << "say \"hi\"" << 4 << 2 << "URL LIKE \"%\"\"h%\""
            << "URL NOT LIKE \"%\"\"h%\" OR URL IS NULL";
    }
    void cellConditions() {
        QFETCH(QString, value);
        QFETCH(int, selectionStart);
        QFETCH(int, selectionLength);
        QFETCH(QString, keep);
        QFETCH(QString, exclude);
        TSelectedCell cell = textCell(value);
        cell.EditorOpen = selectionStart >= 0;
        cell.EditorText = value;
        cell.SelectionStart = selectionStart;
        cell.SelectionLength = selectionLength;
        QCOMPARE(FilterBySelectionCondition(cell), keep);
        QCOMPARE(ExcludeSelectionCondition(cell), exclude);
    }

    void longValueIsNeverCut() {
        const QString address = QStringLiteral("https://example.org/") + QString(400, 'a');
        TSelectedCell cell = textCell(address);
        cell.EditorOpen = true;
        cell.EditorText = address;
        cell.SelectionStart = 0;
        QCOMPARE(FilterBySelectionCondition(cell), "URL = \"" + address + "\"");
    }

    void whereClause_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("composed");
        QTest::newRow("none") << "SELECT * FROM T"
                              << "SELECT * FROM T WHERE (F)";
        QTest::newRow("upper case") << "SELECT * FROM T WHERE A > 0"
                                    << "SELECT * FROM T WHERE A > 0 AND (F)";
        QTest::newRow("lower case") << "select * from T where A > 0"
                                    << "select * from T where A > 0 AND (F)";
        QTest::newRow("part of a name") << "SELECT * FROM T WHERE_NOT"
                                        << "SELECT * FROM T WHERE_NOT WHERE (F)";
        QTest::newRow("only in a subquery")
            << "SELECT * FROM (SELECT * FROM T WHERE A > 0) X"
            << "SELECT * FROM (SELECT * FROM T WHERE A > 0) X WHERE (F)";
        QTest::newRow("only in quotes and brackets")
            << "SELECT \"WHERE\" AS [WHERE], 'where' FROM T"
            << "SELECT \"WHERE\" AS [WHERE], 'where' FROM T WHERE (F)";
    }
    void whereClause() {
        QFETCH(QString, base);
        QFETCH(QString, composed);
        QCOMPARE(ComposeFilteredQuery(base, "(F)"), composed);
        QCOMPARE(ComposeFilteredQuery(base, ""), base);
    }

    void orFilterBehindAWhereIsGrouped() {
        QCOMPARE(ComposeFilteredQuery("SELECT * FROM T WHERE A > 0", "(B) OR (C)"),
                 QStringLiteral("SELECT * FROM T WHERE A > 0 AND ((B) OR (C))"));
    }
};

QTEST_APPLESS_MAIN(TestQuickFilterUnit)
#include "tst_quickfilterunit.moc"
