#include "urls/CsvLinkReader.h"

#include "common/CsvText.h"
#include "urls/BookmarkDescription.h"

#include <QCoreApplication>

#include <initializer_list>

QString RestoredCsvField(const QString& field) {
    qsizetype i = 0;
    while (i < field.size() && field[i] == QLatin1Char('\'')) {
        ++i;
    }
    if (i == 0 || i >= field.size()) {
        return field;
    }
    const char16_t c = field[i].unicode();
    const bool formula =
        c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
    return formula ? field.mid(1) : field;
}

QVector<TImportedLink> ReadCsvLinks(const QString& text) {
    const QVector<QStringList> rows = ParseCsv(text);
    int url = 0;
    int description = 1;
    int category = 2;
    int visited = 3;
    int first = 0;
    if (!rows.isEmpty()) {
        const auto column = [&rows](std::initializer_list<const char*> names) {
            for (int i = 0; i < rows.first().size(); ++i) {
                for (const char* name : names) {
                    if (rows.first().at(i).trimmed().compare(QString::fromUtf8(name),
                                                             Qt::CaseInsensitive) == 0) {
                        return i;
                    }
                }
            }
            return -1;
        };
        const int u = column({"URL", "Address", "Адрес"});
        if (u >= 0) {
            url = u;
            description = column({"Description", "Title", "Описание"});
            category = column({"Category", "Categories", "Tags", "Категории"});
            visited = column({"Visited", "Посещена"});
            first = 1;
        }
    }
    const auto field = [](const QStringList& row, int i) {
        return i >= 0 && i < row.size() ? RestoredCsvField(row.at(i)) : QString();
    };
    QVector<TImportedLink> out;
    for (int r = first; r < rows.size(); ++r) {
        const QStringList& row = rows.at(r);
        if (row.size() == 1 && row.first().trimmed().isEmpty()) {
            continue;  // a blank line
        }
        const QString seen = field(row, visited).trimmed().toCaseFolded();
        TImportedLink link;
        link.URL = field(row, url);
        link.Category = field(row, category);
        link.Description = field(row, description).left(kImportedDescriptionSize);
        link.Source = QCoreApplication::translate("LinkImport", "строка %1").arg(r + 1);
        link.Visited = seen == QLatin1String("1") || seen == QLatin1String("true") ||
                       seen == QLatin1String("yes") || seen == QStringLiteral("да");
        out.append(std::move(link));
    }
    return out;
}
