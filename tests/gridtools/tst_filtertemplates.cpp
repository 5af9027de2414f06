#include "gridtools/FilterTemplatesUnit.h"
#include "platform/db/DataSet.h"
#include "platform/db/Parameters.h"

#include <QtTest>

namespace {
// A field of the given type on a dataset of its own, as the filter dialog sees it.
class TFieldFactory {
public:
    TField& make(const QString& name, TFieldType type) {
        auto& ds = m_sets.emplace_back(std::make_unique<TDataSet>());
        TField& f = ds->AddField(name);
        f.DataType = type;
        return f;
    }

private:
    std::vector<std::unique_ptr<TDataSet>> m_sets;
};
}  // namespace

class TestFilterTemplates final : public QObject {
    Q_OBJECT

    TFieldFactory fields;

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void tableForEachFieldType_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("hasList");
        QTest::addColumn<QString>("firstCaption");
        QTest::addColumn<int>("count");
        QTest::newRow("wide string") << int(TFieldType::WideString) << false << "содержит" << 6;
        QTest::newRow("guid") << int(TFieldType::Guid) << false << "содержит" << 6;
        QTest::newRow("memo") << int(TFieldType::Memo) << false << "содержит" << 6;
        QTest::newRow("boolean") << int(TFieldType::Boolean) << false << "равно" << 4;
        QTest::newRow("date") << int(TFieldType::DateTime) << false << "вчера" << 18;
        QTest::newRow("integer") << int(TFieldType::Integer) << false << "равно" << 9;
        QTest::newRow("small integer with list")
            << int(TFieldType::SmallInt) << true << "равно" << 4;
        QTest::newRow("float offers nothing") << int(TFieldType::Float) << false << "" << 0;
        QTest::newRow("currency offers nothing") << int(TFieldType::Currency) << false << "" << 0;
        QTest::newRow("64-bit offers nothing") << int(TFieldType::LargeInt) << false << "" << 0;
    }
    void tableForEachFieldType() {
        QFETCH(int, type);
        QFETCH(bool, hasList);
        QFETCH(QString, firstCaption);
        QFETCH(int, count);
        TField& f = fields.make("F", TFieldType(type));
        TValueLists lists;
        if (hasList) {
            lists.Add("f", {"Новый", "Старый"});
        }
        const QStringList captions = ConditionCaptions(ConditionTable(f, lists));
        QCOMPARE(captions.size(), count);
        QCOMPARE(captions.value(0), firstCaption);
    }

    void expand_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("doubled quote") << int(TFieldType::WideString) << "равно (точно)"
                                       << "a\"\"b"
                                       << "F = \"a\"\"b\""
                                       << "a\"b";
        QTest::newRow("contains: a percent sign is matched as itself")
            << int(TFieldType::WideString) << "содержит"
            << "new%s"
            << "F LIKE \"%new[%]s%\""
            << "new%s";
        QTest::newRow("does not contain: underscore and bracket")
            << int(TFieldType::WideString) << "не содержит"
            << "a_[b"
            << "F NOT LIKE \"%a[_][[]b%\" OR F IS NULL"
            << "a_[b";
        QTest::newRow("equals keeps the percent sign unescaped")
            << int(TFieldType::WideString) << "равно (точно)"
            << "50%"
            << "F = \"50%\""
            << "50%";
        QTest::newRow("between comma and blank") << int(TFieldType::Integer) << "между"
                                                 << "1, 5"
                                                 << "F BETWEEN 1 AND 5"
                                                 << "1, 5";
        QTest::newRow("between blank") << int(TFieldType::Integer) << "между"
                                       << "1 5"
                                       << "F BETWEEN 1 AND 5"
                                       << "1, 5";
        QTest::newRow("between comma") << int(TFieldType::Integer) << "между"
                                       << "1,5"
                                       << "F BETWEEN 1 AND 5"
                                       << "1, 5";
        QTest::newRow("date equal") << int(TFieldType::DateTime) << "равно"
                                    << "01.02.2003"
                                    << "F >= 37653 AND F < 37654"
                                    << "01.02.2003";
        QTest::newRow("date one digit") << int(TFieldType::DateTime) << "не позднее"
                                        << "1.2.2003"
                                        << "F < 37654"
                                        << "01.02.2003";
        QTest::newRow("date between") << int(TFieldType::DateTime) << "между"
                                      << "01.01.2003 31.01.2003"
                                      << "F BETWEEN 37622 AND 37653"
                                      << "01.01.2003, 31.01.2003";
        QTest::newRow("boolean yes") << int(TFieldType::Boolean) << "равно"
                                     << "Да"
                                     << "F = :True"
                                     << "Да";
        QTest::newRow("boolean no") << int(TFieldType::Boolean) << "не равно"
                                    << "Нет"
                                    << "F <> :False OR F IS NULL"
                                    << "Нет";
        QTest::newRow("negative integer") << int(TFieldType::Integer) << "не менее"
                                          << "-3"
                                          << "F >= -3"
                                          << "-3";
    }
    void expand() {
        QFETCH(int, type);
        QFETCH(QString, caption);
        QFETCH(QString, value);
        QFETCH(QString, condition);
        QFETCH(QString, readBack);
        TField& f = fields.make("F", TFieldType(type));
        const TValueLists lists;
        const QString table = ConditionTable(f, lists);
        const int index = ConditionCaptions(table).indexOf(caption);
        QVERIFY(index >= 0);
        const QString tmpl = ConditionTemplate(table, index);
        QCOMPARE(ExpandTemplate(tmpl, f, value, lists), condition);
        QCOMPARE(FindTemplate(table, condition), index);
        QCOMPARE(ValueFromCondition(tmpl, f, condition, lists), readBack);
    }

    // A short date format with a two-digit year: a date read back and expanded again keeps
    // its century, and a typed two-digit year means this century.
    void datesKeepTheirCentury() {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));  // M/d/yy
        TField& f = fields.make("F", TFieldType::DateTime);
        const TValueLists lists;
        const QString table = ConditionTable(f, lists);
        const QString tmpl = ConditionTemplate(table, ConditionCaptions(table).indexOf("равно"));
        const QString condition = ExpandTemplate(tmpl, f, "2/1/03", lists);
        QCOMPARE(condition, QStringLiteral("F >= 37653 AND F < 37654"));
        const QString shown = ValueFromCondition(tmpl, f, condition, lists);
        QCOMPARE(shown, QStringLiteral("2/1/2003"));
        QCOMPARE(ExpandTemplate(tmpl, f, shown, lists), condition);
        QLocale::setDefault(before);
    }

    void conversionErrors_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("not an integer") << int(TFieldType::Integer) << "равно"
                                        << "abc"
                                        << "'abc' - неверное целое значение";
        QTest::newRow("between one word") << int(TFieldType::Integer) << "между"
                                          << "7"
                                          << "'' - неверное целое значение";
        QTest::newRow("not a date") << int(TFieldType::DateTime) << "равно"
                                    << "31.02.2003"
                                    << "'31.02.2003' - неверная дата";
    }
    void conversionErrors() {
        QFETCH(int, type);
        QFETCH(QString, caption);
        QFETCH(QString, value);
        QFETCH(QString, message);
        TField& f = fields.make("F", TFieldType(type));
        const TValueLists lists;
        const QString table = ConditionTable(f, lists);
        const QString tmpl = ConditionTemplate(table, ConditionCaptions(table).indexOf(caption));
        try {
            ExpandTemplate(tmpl, f, value, lists);
            QFAIL("no error");
        } catch (const EError& e) {
            QCOMPARE(e.message(), message);
        }
    }

    void valueListCoding() {
        TField& f = fields.make("State", TFieldType::Integer);
        TValueLists lists;
        lists.Add("STATE", {"Новый", "Старый"});
        const QString table = ConditionTable(f, lists);
        QCOMPARE(table, ListConditions());
        const QString tmpl = ConditionTemplate(table, 0);
        QCOMPARE(ExpandTemplate(tmpl, f, "старый", lists), QStringLiteral("State = 1"));
        QCOMPARE(ExpandTemplate(tmpl, f, "нет такого", lists), QStringLiteral("State = -1"));
        QCOMPARE(ValueFromCondition(tmpl, f, "State = 1", lists), QStringLiteral("Старый"));
        QCOMPARE(ValueFromCondition(tmpl, f, "State = 7", lists), QStringLiteral("7"));
    }

    void longestTemplateWins_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("value");
        QTest::newRow("boolean not equal over missing")
            << int(TFieldType::Boolean) << "F <> :True OR F IS NULL"
            << "не равно"
            << "Да";
        QTest::newRow("string null") << int(TFieldType::WideString) << "F IS NULL"
                                     << "пусто"
                                     << "";
        QTest::newRow("integer null") << int(TFieldType::Integer) << "F IS NULL"
                                      << "отсутствует"
                                      << "";
        QTest::newRow("boolean null") << int(TFieldType::Boolean) << "F IS NULL"
                                      << "отсутствует"
                                      << "";
        QTest::newRow("date null") << int(TFieldType::DateTime) << "F IS NULL"
                                   << "отсутствует"
                                   << "";
        QTest::newRow("yesterday over equal")
            << int(TFieldType::DateTime) << "F >= :Yesterday AND F < :Today"
            << "вчера"
            << "";
        QTest::newRow("unknown") << int(TFieldType::Integer) << "F IN (1, 2)"
                                 << ""
                                 << "";
    }
    void longestTemplateWins() {
        QFETCH(int, type);
        QFETCH(QString, condition);
        QFETCH(QString, caption);
        QFETCH(QString, value);
        TField& f = fields.make("F", TFieldType(type));
        const TValueLists lists;
        const QString table = ConditionTable(f, lists);
        const int index = FindTemplate(table, condition);
        QCOMPARE(ConditionCaptions(table).value(index), caption);
        if (index >= 0) {
            QCOMPARE(ValueFromCondition(ConditionTemplate(table, index), f, condition, lists),
                     value);
        }
    }

    // Every template of every table: expanding a value and reading the condition back
    // gives the same line and the same value.
    void everyTemplateRoundTrips() {
        const struct {
            TFieldType type;
            QStringList values;  // the value for one placeholder, for "между"
        } cases[] = {
            {TFieldType::WideString, {"Новости \"\"дня\"\"", "Новости \"\"дня\"\""}},
            {TFieldType::Integer, {"42", "1, 5"}},
            {TFieldType::DateTime, {"15.01.2003", "01.01.2003, 31.01.2003"}},
            {TFieldType::Boolean, {"Да", "Да"}},
        };
        const TValueLists lists;
        for (const auto& c : cases) {
            TField& f = fields.make("Поле", c.type);
            const QString table = ConditionTable(f, lists);
            const QStringList captions = ConditionCaptions(table);
            for (int i = 0; i < captions.size(); ++i) {
                const QString tmpl = ConditionTemplate(table, i);
                const bool range = tmpl.contains("$vi1") || tmpl.contains("$vd1");
                const bool hasValue = tmpl.contains("$v");
                const QString value = range ? c.values[1] : c.values[0];
                const QString condition = ExpandTemplate(tmpl, f, value, lists);
                QVERIFY2(FindTemplate(table, condition) == i, qPrintable(condition));
                QString expected = hasValue ? value : QString();
                expected.replace("\"\"", "\"");
                QCOMPARE(ValueFromCondition(tmpl, f, condition, lists), expected);
            }
        }
    }

    void templatePatterns_data() {
        QTest::addColumn<QString>("tmpl");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("type");
        QTest::newRow("like") << "$f LIKE \"%$vs%\"" << -1 << "?* LIKE \"%@%\"" << 0 << "s";
        QTest::newRow("date equal")
            << "$f >= $vd AND $f < $vd+1" << -1 << "?* >= @ AND ?* < @" << 1 << "d";
        QTest::newRow("between second")
            << "$f BETWEEN $vd1 AND $vd2+1" << 2 << "?* BETWEEN ?* AND @" << 1 << "d";
        QTest::newRow("zero ends it") << "$vi0" << -1 << "@0" << 0 << "i";
        QTest::newRow("placeholder at the end") << "X=$vb" << -1 << "X=@" << 0 << "b";
    }
    void templatePatterns() {
        QFETCH(QString, tmpl);
        QFETCH(int, index);
        QFETCH(QString, mask);
        QFETCH(int, offset);
        QFETCH(QString, type);
        const TTemplatePattern p = TemplatePattern(tmpl, QLatin1Char('v'), index);
        QCOMPARE(p.mask, mask);
        QCOMPARE(p.offset, offset);
        QCOMPARE(QString(p.type), type);
    }

    void masks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("match");
        QTest::addColumn<QString>("captured");
        QTest::newRow("shortest capture") << "abcabc"
                                          << "@c*" << true << "ab";
        QTest::newRow("last capture") << "k=v;x=y"
                                      << "@=@" << true << "v;x=y";
        QTest::newRow("question one char") << "ab"
                                           << "a?" << true << "";
        QTest::newRow("question needs one") << "a"
                                            << "a?" << false << "";
        QTest::newRow("ignores case") << "ПРИВЕТ World"
                                      << "привет *" << true << "";
        QTest::newRow("empty mask") << ""
                                    << "" << false << "";
        QTest::newRow("empty text star") << ""
                                         << "*" << true << "";
        QTest::newRow("empty capture") << "ab"
                                       << "ab@" << true << "";
        QTest::newRow("no match after reaching capture") << "a1b"
                                                         << "a@c" << false << "";
        QTest::newRow("charset")
            << "meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\""
            << "meta?*http-equiv*=*\"*Content-Type*\"?*content*=*\"*charset=@\"" << true
            << "windows-1251";
    }
    void masks() {
        QFETCH(QString, text);
        QFETCH(QString, mask);
        QFETCH(bool, match);
        QFETCH(QString, captured);
        QCOMPARE(MatchMask(text, mask), match);
        QCOMPARE(ExtractMask(text, mask), captured);
    }

    void bindParameters_data() {
        QTest::addColumn<QDate>("today");
        QTest::newRow("wednesday") << QDate(2003, 1, 15);
        QTest::newRow("sunday") << QDate(2003, 1, 19);
    }
    void bindParameters() {
        QFETCH(QDate, today);
        TParameters params;
        params.Refresh({"True", "false", "LastWeekStart", "ThisWeekStart", "NextWeekStart",
                        "AfterNextWeekStart", "LastMonthStart", "ThisMonthStart", "NextMonthStart",
                        "AfterNextMonthStart", "Yesterday", "Other"});
        BindFilterParameters(params, today);
        QCOMPARE(params.ParamByName("True").Value, QVariant(true));
        QCOMPARE(params.ParamByName("True").DataType, TFieldType::Boolean);
        QVERIFY(!params.ParamByName("false").Value.isValid());  // names compare with case
        QCOMPARE(params.ParamByName("LastWeekStart").Value.toDate(), QDate(2003, 1, 6));
        QCOMPARE(params.ParamByName("ThisWeekStart").Value.toDate(), QDate(2003, 1, 13));
        QCOMPARE(params.ParamByName("NextWeekStart").Value.toDate(), QDate(2003, 1, 20));
        QCOMPARE(params.ParamByName("AfterNextWeekStart").Value.toDate(), QDate(2003, 1, 27));
        QCOMPARE(params.ParamByName("LastMonthStart").Value.toDate(), QDate(2002, 12, 1));
        QCOMPARE(params.ParamByName("ThisMonthStart").Value.toDate(), QDate(2003, 1, 1));
        QCOMPARE(params.ParamByName("NextMonthStart").Value.toDate(), QDate(2003, 2, 1));
        QCOMPARE(params.ParamByName("AfterNextMonthStart").Value.toDate(), QDate(2003, 3, 1));
        QCOMPARE(params.ParamByName("Yesterday").Value.toDate(), today.addDays(-1));
        QCOMPARE(params.ParamByName("Yesterday").DataType, TFieldType::DateTime);
        QVERIFY(!params.ParamByName("Other").Value.isValid());
    }

    void monthsCarryTheYear() {
        TParameters params;
        params.Refresh({"LastMonthStart", "AfterNextMonthStart"});
        BindFilterParameters(params, QDate(2003, 11, 30));
        QCOMPARE(params.ParamByName("AfterNextMonthStart").Value.toDate(), QDate(2004, 1, 1));
        BindFilterParameters(params, QDate(2004, 1, 31));
        QCOMPARE(params.ParamByName("LastMonthStart").Value.toDate(), QDate(2003, 12, 1));
    }
};

QTEST_GUILESS_MAIN(TestFilterTemplates)
#include "tst_filtertemplates.moc"
