#include "CatalogueGenerator.h"

#include "platform/SqliteStatement.h"
#include "platform/db/FieldTypes.h"
#include "platform/db/Schema.h"

#include <QFile>
#include <QStringList>
#include <QUuid>

#include <random>

qint64 GenerateCatalogue(const QString& fileName, int rows, unsigned seed) {
    CreateSqliteCatalogue(fileName);
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
    std::mt19937 rng(seed);
    const QStringList hosts = {
        QStringLiteral("news"),    QStringLiteral("mail"),  QStringLiteral("wiki"),
        QStringLiteral("docs"),    QStringLiteral("blog"),  QStringLiteral("shop"),
        QStringLiteral("новости"), QStringLiteral("форум"), QStringLiteral("journal"),
        QStringLiteral("dev"),     QStringLiteral("music"), QStringLiteral("video")};
    const QStringList tlds = {QStringLiteral(".com"), QStringLiteral(".org"), QStringLiteral(".ru"),
                              QStringLiteral(".net"), QStringLiteral(".рф"),  QStringLiteral(".de"),
                              QStringLiteral(".io")};
    const QStringList words = {
        QStringLiteral("Новости"), QStringLiteral("погода"), QStringLiteral("Linux"),
        QStringLiteral("программирование"), QStringLiteral("рецепты"), QStringLiteral("музыка"),
        QStringLiteral("travel"), QStringLiteral("science"), QStringLiteral("история"),
        QStringLiteral("sport"), QStringLiteral("Qt"), QStringLiteral("база"),
        QStringLiteral("данных"), QStringLiteral("library"), QStringLiteral("финансы"),
        QStringLiteral("—"),
        // Typographic dashes, quotes and an ellipsis, as real titles
        // have them: the export must keep them on its fast path.
        QStringLiteral("“кавычки”"), QStringLiteral("итог…"), QStringLiteral("‘single’")};
    const QStringList categories = {QStringLiteral("Новости"), QStringLiteral("Работа"),
                                    QStringLiteral("Разное"),  QStringLiteral("Music"),
                                    QStringLiteral("Dev"),     QStringLiteral("Наука"),
                                    QStringLiteral("Покупки"), QStringLiteral("Путешествия")};
    const auto pick = [&rng](const QStringList& l) {
        return l.at(static_cast<int>(rng() % static_cast<unsigned>(l.size())));
    };
    // What a link check leaves: a status with its answer's code, or none for a host that
    // did not answer.
    const QList<QPair<QString, qint64>> checks = {
        {QStringLiteral("alive"), 200},        {QStringLiteral("moved"), 301},
        {QStringLiteral("client error"), 404}, {QStringLiteral("server error"), 503},
        {QStringLiteral("restricted"), 403},   {QStringLiteral("unreachable"), 0}};
    const QDateTime firstCheck(QDate(2026, 1, 1), QTime(0, 0));
    TSqliteStatement insert(db,
                            "INSERT INTO SubjectURLs(SubjectURLID, Description, URL, Visited, "
                            "Category, LinkStatus, LinkCode, LinkChecked) "
                            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    qint64 raw = 0;
    for (int i = 0; i < rows; ++i) {
        QString url = QStringLiteral("https://") + pick(hosts) + QString::number(rng() % 5000) +
                      pick(tlds) + QLatin1Char('/');
        const int segments = 1 + static_cast<int>(rng() % 6);
        for (int s = 0; s < segments; ++s) {
            url += pick(words).toLower() + QLatin1Char('/');
        }
        url += QString::number(i);
        url = url.left(150);
        QString description;
        const int n = 2 + static_cast<int>(rng() % 25);
        for (int w = 0; w < n; ++w) {
            description += pick(words) + QLatin1Char(' ');
        }
        description = description.trimmed().left(255);
        QString category = pick(categories);
        if (rng() % 3 == 0) {
            category += QStringLiteral("; ") + pick(categories);
        }
        const QString key = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
        insert.bind(1, key);
        insert.bind(2, description);
        insert.bind(3, url);
        insert.bind(4, qint64(rng() % 4 == 0 ? 1 : 0));
        insert.bind(5, category);
        // Every other link has been checked, some time in the year.
        if (rng() % 2 == 0) {
            const auto& check = checks.at(static_cast<int>(rng() % checks.size()));
            insert.bind(6, check.first);
            if (check.second != 0) {
                insert.bind(7, check.second);
            } else {
                sqlite3_bind_null(insert.get(), 7);
            }
            sqlite3_bind_double(insert.get(), 8,
                                DayNumber(firstCheck.addSecs(rng() % (365 * 86400))));
            // The code and the time as the eight bytes each is held in.
            raw += check.first.size() + (check.second != 0 ? 8 : 0) + 8;
        } else {
            for (int column : {6, 7, 8}) {
                sqlite3_bind_null(insert.get(), column);
            }
        }
        insert.step();
        sqlite3_reset(insert.get());
        raw += key.toUtf8().size() + description.toUtf8().size() + url.toUtf8().size() + 1 +
               category.toUtf8().size();
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return raw;
}
