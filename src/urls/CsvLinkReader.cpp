#include "urls/CsvLinkReader.h"

#include "common/CsvText.h"

#include <QCoreApplication>

#include <initializer_list>

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
        return i >= 0 && i < row.size() ? CsvFormulaUnguarded(row.at(i)) : QString();
    };
    QVector<TImportedLink> out;
    // A record's line in the file: a quoted field's own line breaks move the next ones down.
    int line = 1;
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList& row = rows.at(r);
        const int at = line;
        line += 1;
        for (const QString& f : row) {
            line += static_cast<int>(f.count(QLatin1Char('\n')));
        }
        if (r < first || (row.size() == 1 && row.first().trimmed().isEmpty())) {
            continue;  // the names of the columns, or a blank line
        }
        const QString seen = field(row, visited).trimmed().toCaseFolded();
        TImportedLink link;
        link.URL = field(row, url);
        link.Category = field(row, category);
        // Whole: the preview says what does not fit the catalogue.
        link.Description = field(row, description);
        link.Source = QCoreApplication::translate("LinkImport", "строка %1").arg(at);
        link.Line = at;
        link.Visited = seen == QLatin1String("1") || seen == QLatin1String("true") ||
                       seen == QLatin1String("yes") || seen == QStringLiteral("да");
        out.append(std::move(link));
    }
    // A quote never closed takes the rest of the file into one field (RFC 4180 reads it so):
    // the record it began in is marked, so the links swallowed are not lost without a word.
    if (text.count(QLatin1Char('"')) % 2 != 0 && !out.isEmpty()) {
        out.last().Damage = QCoreApplication::translate(
            "LinkImport", "кавычка не закрыта: в поле попал весь остаток файла");
    }
    return out;
}
