#include "gridtools/ColumnLayout.h"

#include "platform/db/JetSql.h"

#include <QStringList>

QString ColumnLayoutValue(const QString& title, int position, int width, bool visible) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(JetQuotedString(title))
        .arg(position)
        .arg(width)
        .arg(visible ? 1 : 0);
}

bool ParseColumnLayoutValue(const QString& value, QString& title, int& position, int& width,
                            bool& visible) {
    // A comma list whose double-quoted items may hold commas and doubled quotes.
    QStringList items;
    QString item;
    bool quoted = false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < value.size() && value.at(i + 1) == QLatin1Char('"')) {
                    item += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                item += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            items << item;
            item.clear();
        } else {
            item += c;
        }
    }
    items << item;
    if (items.size() < 4) {
        return false;
    }
    bool okPosition = false;
    bool okWidth = false;
    const int p = items[1].trimmed().toInt(&okPosition);
    const int w = items[2].trimmed().toInt(&okWidth);
    // The program never writes a negative width: such a value is damaged, not a layout.
    if (!okPosition || !okWidth || w < 0) {
        return false;
    }
    title = items[0];
    position = p;
    width = w;
    visible = items[3] != QLatin1String("0");
    return true;
}
