#include "platform/db/ConnectionString.h"
#include "platform/db/FieldTypes.h"
#include "platform/db/JetSql.h"
#include "platform/db/TextFold.h"

#include <QRandomGenerator>
#include <QtTest>

class TestJetSql final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void translate_data() {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::addColumn<QString>("postgres");
        QTest::addColumn<QStringList>("params");
        QTest::newRow("double-quoted literal")
            << "SELECT * FROM T WHERE URL = \"a'b\""
            << "SELECT * FROM T WHERE URL = 'a''b'"
            << "SELECT * FROM T WHERE URL = 'a''b'" << QStringList{};
        QTest::newRow("doubled quote inside") << "X = \"say \"\"hi\"\"\""
                                              << "X = 'say \"hi\"'"
                                              << "X = 'say \"hi\"'" << QStringList{};
        QTest::newRow("colon, brace and LIKE inside literal stay")
            << "X = \":Name {0A1B2C3D-0000-0000-0000-000000000000} LIKE\""
            << "X = ':Name {0A1B2C3D-0000-0000-0000-000000000000} LIKE'"
            << "X = ':Name {0A1B2C3D-0000-0000-0000-000000000000} LIKE'" << QStringList{};
        QTest::newRow("guid literal")
            << "DELETE FROM SubjectURLs WHERE SubjectURLID = {0a1b2c3d-4e5f-6789-abcd-ef0123456789}"
            << "DELETE FROM SubjectURLs WHERE SubjectURLID = "
               "'{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}'"
            << "DELETE FROM SubjectURLs WHERE SubjectURLID = "
               "'{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}'"
            << QStringList{};
        QTest::newRow("braces that are no guid") << "X = {abc}"
                                                 << "X = {abc}"
                                                 << "X = {abc}" << QStringList{};
        QTest::newRow("parameters in order, repeats kept")
            << "D >= :BeginOfWeek AND D < :EndOfWeek OR V = :True OR D = :BeginOfWeek"
            << "D >= ? AND D < ? OR V = ? OR D = ?"
            << "D >= $1 AND D < $2 OR V = $3 OR D = $4"
            << QStringList{"BeginOfWeek", "EndOfWeek", "True", "BeginOfWeek"};
        QTest::newRow("like") << "(URL LIKE \"%news%\") AND (Category like \"%Новости%\")"
                              << "(URL LIKE '%news%') AND (Category like '%Новости%')"
                              << "(URL ILIKE '%news%' ESCAPE '') AND (Category ILIKE "
                                 "'%Новости%' ESCAPE '')"
                              << QStringList{};
        QTest::newRow("like with a parameter, or an escape of its own")
            << "A LIKE :P OR B NOT LIKE \"x!%\" ESCAPE \"!\" OR C LIKE \"%\" || D"
            << "A LIKE ? OR B NOT LIKE 'x!%' ESCAPE '!' OR C LIKE '%' || D"
            << "A ILIKE $1 ESCAPE '' OR B NOT ILIKE 'x!%' ESCAPE '!' OR C ILIKE '%' || D"
            << QStringList{"P"};
        QTest::newRow("bracket escapes in a pattern become backslash escapes")
            << "URL LIKE \"%50[%]\\[_]x[[]%\" AND D LIKE \"[%]\" || E AND F = \"[%]\""
            << "URL LIKE '%50\\%\\\\\\_x[%' ESCAPE '\\' AND D LIKE '[%]' || E AND F = '[%]'"
            << "URL ILIKE '%50\\%\\\\\\_x[%' ESCAPE '\\' AND D ILIKE '[%]' || E AND F = '[%]'"
            << QStringList{};
        QTest::newRow("word containing like") << "LIKELY = UNLIKE"
                                              << "LIKELY = UNLIKE"
                                              << "LIKELY = UNLIKE" << QStringList{};
        QTest::newRow("bracketed identifier") << "SELECT [My Field] FROM [T]"
                                              << "SELECT \"My Field\" FROM \"T\""
                                              << "SELECT \"My Field\" FROM \"T\"" << QStringList{};
        QTest::newRow("single-quoted literal kept") << "X = 'it''s \"x\"'"
                                                    << "X = 'it''s \"x\"'"
                                                    << "X = 'it''s \"x\"'" << QStringList{};
        QTest::newRow("time-like text is no parameter") << "X = 12:30 OR Y=:P"
                                                        << "X = 12:30 OR Y=?"
                                                        << "X = 12:30 OR Y=$1" << QStringList{"P"};
        QTest::newRow("unterminated literal passed on") << "X = \"open"
                                                        << "X = \"open"
                                                        << "X = \"open" << QStringList{};
    }
    void translate() {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QFETCH(QString, postgres);
        QFETCH(QStringList, params);
        const TTranslatedSql s = TranslateJetSql(jet, TSqlDialect::SQLite);
        QCOMPARE(s.sql, sqlite);
        QCOMPARE(s.parameters, params);
        const TTranslatedSql server = TranslateJetSql(jet, TSqlDialect::PostgreSQL);
        QCOMPARE(server.sql, postgres);
        QCOMPARE(server.parameters, params);
        QStringList distinct;
        for (const QString& p : params) {
            if (!distinct.contains(p, Qt::CaseInsensitive)) {
                distinct << p;
            }
        }
        QCOMPARE(server.names, distinct);
    }

    // What the server has to be told: names in their spelling, Booleans and dates that Jet
    // writes as numbers.
    void translateForTheServer_data() {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("postgres");
        QTest::newRow("spelling kept, lower-case names left")
            << "SELECT SubjectURLID, [url], x FROM subjecturls s WHERE s.Category = \"a\""
            << "SELECT \"SubjectURLID\", \"URL\", x FROM \"SubjectURLs\" s WHERE s.\"Category\" = "
               "'a'";
        QTest::newRow("Boolean set and compared with numbers")
            << "UPDATE SubjectURLs SET Visited = 1 WHERE visited<>0 OR Visited = -1 OR Visited = :P"
            << "UPDATE \"SubjectURLs\" SET \"Visited\" = TRUE WHERE \"Visited\"<>FALSE OR "
               "\"Visited\" = TRUE OR \"Visited\" = $1";
        QTest::newRow("day numbers against a date column")
            << "Created >= 37653 AND Created < 37654.5 OR Created IS NULL"
            << "\"Created\" >= TIMESTAMP '2003-02-01 00:00:00.000' AND \"Created\" < TIMESTAMP "
               "'2003-02-02 12:00:00.000' OR \"Created\" IS NULL";
        QTest::newRow("day numbers between")
            << "Created BETWEEN 37653 AND 37654 AND Created between -1 and 0.5"
            << "\"Created\" BETWEEN TIMESTAMP '2003-02-01 00:00:00.000' AND TIMESTAMP "
               "'2003-02-02 00:00:00.000' AND \"Created\" between TIMESTAMP '1899-12-29 "
               "00:00:00.000' and TIMESTAMP '1899-12-30 12:00:00.000'";
        QTest::newRow("numbers elsewhere untouched")
            << "Amount = 1 AND Visited + 1 = 2 AND Created = 1e5 AND Visited = 1.5"
            << "Amount = 1 AND \"Visited\" + 1 = 2 AND \"Created\" = 1e5 AND \"Visited\" = 1.5";
        QTest::newRow("impossible day number left for the server to refuse")
            << "Created < 900000000"
            << "\"Created\" < 900000000";
        QTest::newRow("nothing inside literals") << "X = \"Visited = 1\""
                                                 << "X = 'Visited = 1'";
    }
    void translateForTheServer() {
        QFETCH(QString, jet);
        QFETCH(QString, postgres);
        TSqlNames names;
        for (const char* n :
             {"SubjectURLs", "SubjectURLID", "URL", "Category", "Visited", "Created"}) {
            names.spelling.insert(QString::fromLatin1(n).toCaseFolded(), QString::fromLatin1(n));
        }
        names.columns.insert(QStringLiteral("visited"), TSqlNames::Boolean);
        names.columns.insert(QStringLiteral("created"), TSqlNames::DateTime);
        QCOMPARE(TranslateJetSql(jet, TSqlDialect::PostgreSQL, &names).sql, postgres);
        // The embedded engine compares like Jet and needs none of it.
        QVERIFY(!TranslateJetSql(jet, TSqlDialect::SQLite, &names).sql.contains("TRUE"));
    }

    void likeEscapesRoundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("percent-encoded") << "a%20b"
                                         << "a[%]20b";
        QTest::newRow("underscore and bracket") << "x_[y]"
                                                << "x[_][[]y]";
        QTest::newRow("nothing special") << "Новости"
                                         << "Новости";
    }
    void likeEscapesRoundTrip() {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(LikeEscaped(text), escaped);
        QCOMPARE(LikeUnescaped(escaped), text);
    }

    void serverAddress_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("valid");
        QTest::newRow("host only") << " db.example "
                                   << "db.example" << 5432 << true;
        QTest::newRow("host and port") << "db:6543"
                                       << "db" << 6543 << true;
        QTest::newRow("bracketed v6") << "[::1]:7000"
                                      << "::1" << 7000 << true;
        QTest::newRow("bare v6") << "::1"
                                 << "::1" << 5432 << true;
        QTest::newRow("port zero") << "db:0"
                                   << "db" << 5432 << false;
        QTest::newRow("port too big") << "db:65536"
                                      << "db" << 5432 << false;
        QTest::newRow("port not a number") << "db:x1"
                                           << "db" << 5432 << false;
    }
    void serverAddress() {
        QFETCH(QString, source);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, valid);
        QString h;
        int p = -1;
        QCOMPARE(SplitServerAddress(source, h, p), valid);
        QCOMPARE(h, host);
        QCOMPARE(p, port);
    }

    void distinctParameterNames() {
        QCOMPARE(JetSqlParameterNames("A = :x OR B = :X OR C = :y"), (QStringList{"x", "y"}));
        QCOMPARE(JetQuotedString("a \"b\""), QStringLiteral("\"a \"\"b\"\"\""));
    }

    void connectionString_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("password");
        QTest::newRow("sqlite default") << "Data Source=/home/u/cat.db"
                                        << "SQLite"
                                        << "/home/u/cat.db"
                                        << "";
        QTest::newRow("jet names its provider")
            << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\a.mdb;Persist Security Info=False"
            << "Microsoft.Jet.OLEDB.4.0"
            << "C:\\a.mdb"
            << "";
        QTest::newRow("quoted value with semicolon")
            << "Provider=PostgreSQL;Data Source=db:5433;Password=\"p;w\"\"d\";User ID=u"
            << "PostgreSQL"
            << "db:5433"
            << "p;w\"d";
        QTest::newRow("names ignore case, blanks trimmed")
            << " provider = SQLite ; DATA SOURCE = /x y.db ;password=pw9"
            << "SQLite"
            << "/x y.db"
            << "pw9";
    }
    void connectionString() {
        QFETCH(QString, text);
        QFETCH(QString, provider);
        QFETCH(QString, source);
        QFETCH(QString, password);
        const TConnectionString cs(text);
        QCOMPARE(cs.provider(), provider);
        QCOMPARE(cs.value("Data Source"), source);
        QCOMPARE(cs.value("Password"), password);
        // Written and read again, nothing changes.
        const TConnectionString again(cs.toString());
        QCOMPARE(again.toString(), cs.toString());
        QCOMPARE(again.value("Password"), password);
        if (!password.isEmpty()) {
            QVERIFY(!cs.withoutPassword().contains(password));
        }
    }

    void foldedComparison_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("latin case") << "News"
                                    << "nEWS" << 0;
        QTest::newRow("cyrillic case") << "НОВОСТИ"
                                       << "новости" << 0;
        QTest::newRow("yo") << "Ёлка"
                            << "ёлка" << 0;
        QTest::newRow("order") << "абв"
                               << "АБГ" << -1;
        QTest::newRow("prefix shorter") << "ab"
                                        << "AbC" << -1;
        QTest::newRow("latin before cyrillic") << "z"
                                               << "а" << -1;
    }
    void foldedComparison() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const QByteArray x = a.toUtf8();
        const QByteArray y = b.toUtf8();
        const int c = CompareFolded(x.constData(), x.size(), y.constData(), y.size());
        QCOMPARE(c < 0 ? -1 : (c > 0 ? 1 : 0), sign);
        std::string fx;
        std::string fy;
        AppendSortKey(x.constData(), x.size(), fx);
        AppendSortKey(y.constData(), y.size(), fy);
        const int m = fx.compare(fy);
        QCOMPARE(m < 0 ? -1 : (m > 0 ? 1 : 0), sign);
    }

    // The byte folding against the character rule, over runs that start, end and break
    // inside the eight-byte blocks it folds at once.
    void foldingFollowsTheCharacterRule_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("folded");
        QByteArray ascii;
        for (int c = 1; c < 128; ++c) {
            ascii += static_cast<char>(c);
        }
        QTest::newRow("every ascii byte") << ascii << ascii.toLower();
        QTest::newRow("letter edges")
            << QByteArray("@AZ[`az{@AZ[`az{") << QByteArray("@az[`az{@az[`az{");
        for (const char* text :
             {"ABCDEFGНОВОСТИ", "ABCDEFGHНОВОСТИ", "НОВОСТИ ABCDEFGHIJKLMNOP",
              "Ёлка HTTP://WWW.EXAMPLE.COM/ПУТЬ/Ϊ", "KELVIN \u212A LONG S \u017F x",
              "\u023A\u023A\u023A\u023A\u023A\u023A\u023A\u023A", "\U00010400 Deseret"}) {
            const QString s = QString::fromUtf8(text);
            QString f;
            for (const char32_t c : s.toUcs4()) {
                f += QString::fromUcs4(&c, 1).toCaseFolded();
            }
            QTest::newRow(text) << s.toUtf8() << f.toUtf8();
        }
        QTest::newRow("broken bytes") << QByteArray(
                                             "ABCDEFG\xff\xff"
                                             "ABCDEFGH\xd0")
                                      << QByteArray(
                                             "abcdefg\xef\xbf\xbd\xef\xbf\xbd"
                                             "abcdefgh\xef\xbf\xbd");
    }
    void foldingFollowsTheCharacterRule() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, folded);
        std::string out = "kept:";
        AppendFolded(text.constData(), static_cast<std::size_t>(text.size()), out);
        QCOMPARE(QByteArray::fromStdString(out), QByteArray("kept:") + folded);
    }

    // The search without folding the rows gives the answer of a byte search in both
    // foldings, over random texts made of the pieces that could fool it: both cases,
    // overlong and cut-off sequences, stray bytes, and letters that fold to ASCII. The
    // search box's rule reads "ё" as "е" on both sides; the engines' rule does not.
    void searchWithoutFoldingFindsWhatFoldingFinds_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<bool>("yoAsYe");
        QTest::newRow("ye found by its letters") << "ел" << true << true;
        QTest::newRow("yo found as ye") << "Ёл" << true << true;
        QTest::newRow("ye alone") << "е" << true << true;
        QTest::newRow("found by ye") << "ео" << true << true;
        QTest::newRow("yo before the anchor") << "ённ" << true << true;
        QTest::newRow("kelvin after the anchor") << "nk" << true << false;
        QTest::newRow("long s before the anchor") << "snw" << true << false;
        QTest::newRow("ye alone, yo apart") << "е" << true << false;
        QTest::newRow("yo after latin") << "nё" << true << true;
        QTest::newRow("yo apart") << "ёn" << true << false;
        QTest::newRow("word") << "news" << true << false;
        QTest::newRow("one letter") << "n" << true << false;
        QTest::newRow("digits and signs") << "1/n" << true << false;
        QTest::newRow("ending in cyrillic") << "nн" << true << false;
        QTest::newRow("kelvin folds to k") << "k" << false << false;
        QTest::newRow("long s folds to s") << "s" << false << false;
        QTest::newRow("found by a later letter") << "kn" << true << false;
        QTest::newRow("found by a sign after cyrillic") << "нñ/н" << true << false;
        QTest::newRow("found by its last letter") << "ksн" << true << false;
        QTest::newRow("cyrillic first") << "нn" << true << false;
        QTest::newRow("cyrillic only") << "нн" << true << false;
        QTest::newRow("eñe first") << "ñn" << true << false;
    }
    void searchWithoutFoldingFindsWhatFoldingFinds() {
        QFETCH(QString, needle);
        QFETCH(bool, usable);
        QFETCH(bool, yoAsYe);
        const QByteArray n8 = needle.toUtf8();
        std::u32string folded;
        FoldUtf8(n8.constData(), static_cast<std::size_t>(n8.size()), folded);
        const TFoldedNeedle search = MakeFoldedNeedle(folded, yoAsYe);
        if (yoAsYe) {
            ReadYoAsYe(folded);
        }
        QCOMPARE(search.usable, usable);
        if (!usable) {
            return;
        }
        const char* pieces[] = {"n",
                                "N",
                                "e",
                                "E",
                                "w",
                                "W",
                                "s",
                                "S",
                                "1",
                                "/",
                                " ",
                                "\xC5\xBF",
                                "\xC3\xB1",
                                "\xC3\x91",
                                "\xD0\xBD",
                                "\xD0\x9D",
                                "\xC1\xAE",
                                "\xE0\x81\xAE",
                                "\xF0\x80\x81\xAE",
                                "\xE0\x90\xBD",
                                "\xF0\x80\x90\xBD",
                                "\xD0",
                                "\xE0",
                                "\xBD",
                                "\xC3",
                                "\xF0\x9F",
                                "\xE2\x84\xAA",
                                "\xD0\xB5",
                                "\xD0\x95",
                                "\xD1\x91",
                                "\xD0\x81",
                                "\xFF",
                                "\x80",
                                "x"};
        QRandomGenerator random(20261209);
        int found = 0;
        for (int t = 0; t < 20000; ++t) {
            std::string text;
            const int length = static_cast<int>(random.bounded(24));
            for (int i = 0; i < length; ++i) {
                if (random.bounded(8) == 0) {
                    // The needle itself, cut short at times, its letters in either case.
                    const QString part = needle.left(1 + random.bounded(needle.size()));
                    for (const QChar c : part) {
                        text += QString(random.bounded(2) ? c.toUpper() : c).toStdString();
                    }
                } else {
                    text += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
                }
            }
            std::u32string whole;
            FoldUtf8(text.data(), text.size(), whole);
            if (yoAsYe) {
                std::replace(whole.begin(), whole.end(), U'\u0451', U'\u0435');
            }
            const bool expected = whole.find(folded) != std::u32string::npos;
            found += expected;
            const QByteArray hex = QByteArray::fromStdString(text).toHex();
            QVERIFY2(ContainsFolded(text.data(), text.size(), search) == expected, hex);
            QVERIFY2(ContainsFoldedText(text.data(), text.size(), folded, yoAsYe) == expected, hex);
            QVERIFY2(StartsWithFolded(text.data(), text.size(), folded, yoAsYe) ==
                         (whole.compare(0, folded.size(), folded) == 0),
                     hex);
        }
        QVERIFY(found > 100);  // the texts do contain it often enough to tell
    }

    void likeMatch_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("match");
        QTest::newRow("contains") << "http://NEWS.example"
                                  << "%news%" << true;
        QTest::newRow("cyrillic any case") << "Свежие НОВОСТИ дня"
                                           << "%новости%" << true;
        QTest::newRow("underscore one char") << "abc"
                                             << "a_c" << true;
        QTest::newRow("underscore needs a char") << "ac"
                                                 << "a_c" << false;
        QTest::newRow("anchored") << "xabc"
                                  << "abc%" << false;
        QTest::newRow("empty pattern") << ""
                                       << "" << true;
        QTest::newRow("percent only") << "anything"
                                      << "%%%" << true;
        QTest::newRow("backtracking") << "aaaaaaaaaaaaaaaaaaaaaaaaaaaaab"
                                      << "%a%a%a%a%a%c" << false;
    }
    void likeMatch() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, match);
        std::u32string t;
        std::u32string p;
        const QByteArray tu = text.toUtf8();
        const QByteArray pu = pattern.toUtf8();
        FoldUtf8(tu.constData(), tu.size(), t);
        FoldUtf8(pu.constData(), pu.size(), p);
        QCOMPARE(LikeMatch(t, p, 0), match);
    }

    void dayNumbers_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<double>("days");
        QTest::newRow("day zero") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
        QTest::newRow("2003-02-01") << QDateTime(QDate(2003, 2, 1), QTime(0, 0)) << 37653.0;
        QTest::newRow("noon") << QDateTime(QDate(2003, 2, 1), QTime(12, 0)) << 37653.5;
        QTest::newRow("before zero") << QDateTime(QDate(1899, 12, 29), QTime(0, 0)) << -1.0;
    }
    void dayNumbers() {
        QFETCH(QDateTime, when);
        QFETCH(double, days);
        QCOMPARE(DayNumber(when), days);
        QCOMPARE(DateTimeFromDayNumber(days), when);
    }

    // A day number typed into a filter may be anything: no date, never undefined behaviour.
    void dayNumbersOutOfRange_data() {
        QTest::addColumn<double>("days");
        QTest::newRow("huge") << 4.5e23;
        QTest::newRow("huge negative") << -4.5e23;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
    }
    void dayNumbersOutOfRange() {
        QFETCH(double, days);
        QVERIFY(!DateTimeFromDayNumber(days).isValid());
    }

    void declaredTypes_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::newRow("guid") << "GUID" << int(TFieldType::Guid) << 38;
        QTest::newRow("text 150") << "TEXT(150)" << int(TFieldType::WideString) << 150;
        QTest::newRow("varchar") << "varchar(20)" << int(TFieldType::WideString) << 20;
        QTest::newRow("text beyond 255 is still sized text")
            << "TEXT(2048)" << int(TFieldType::WideString) << 2048;
        QTest::newRow("plain text is memo") << "TEXT" << int(TFieldType::Memo) << 0;
        QTest::newRow("boolean") << "BOOLEAN" << int(TFieldType::Boolean) << 0;
        QTest::newRow("datetime") << "DATETIME" << int(TFieldType::DateTime) << 0;
        QTest::newRow("integer") << "INTEGER" << int(TFieldType::Integer) << 0;
        QTest::newRow("double") << "DOUBLE" << int(TFieldType::Float) << 0;
        QTest::newRow("currency") << "CURRENCY" << int(TFieldType::Currency) << 0;
    }
    void declaredTypes() {
        QFETCH(QString, declared);
        QFETCH(int, type);
        QFETCH(int, size);
        int got = -1;
        QCOMPARE(int(FieldTypeFromDeclared(declared, &got)), type);
        QCOMPARE(got, size);
    }
};

QTEST_GUILESS_MAIN(TestJetSql)
#include "tst_jetsql.moc"
