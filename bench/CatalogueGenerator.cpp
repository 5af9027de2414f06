#include "CatalogueGenerator.h"

#include "platform/SqliteStatement.h"
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
    TSqliteStatement insert(db,
                            "INSERT INTO SubjectURLs(SubjectURLID, Description, URL, Visited, "
                            "Category) VALUES(?1, ?2, ?3, ?4, ?5)");
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
        insert.step();
        sqlite3_reset(insert.get());
        raw += key.toUtf8().size() + description.toUtf8().size() + url.toUtf8().size() + 1 +
               category.toUtf8().size();
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return raw;
}
