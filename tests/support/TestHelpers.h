#pragma once

#include "platform/db/DataSet.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <QWidget>

// What Python's own modules (html.parser, csv) make of a file the program wrote: the
// program's standard output, or what went wrong.
inline QString python(const QString& program, const QString& file) {
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), program, file});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        return QStringLiteral("python failed: ") + QString::fromUtf8(p.readAllStandardError());
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Collects the addresses the program hands to the desktop (QDesktopServices URL handler).
class TUrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

// The child of a window by its objectName; a missing one ends the test run loudly.
template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* c = parent.findChild<T*>(QLatin1String(name));
    if (!c) {
        qFatal("no child %s", name);
    }
    return c;
}

// Every record as the texts of all its fields joined by "|", in the dataset's order.
inline QStringList RecordTexts(const TDataSet& ds) {
    QStringList rows;
    for (int r = 0; r < ds.RecordCount(); ++r) {
        QStringList cells;
        for (int f = 0; f < ds.FieldCount(); ++f) {
            cells << ds.DisplayTextAt(r, ds.Fields(f));
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// The texts of one field in every record, in the dataset's order.
inline QStringList ColumnTexts(const TDataSet& ds, const QString& field) {
    QStringList values;
    for (int i = 0; i < ds.RecordCount(); ++i) {
        values << ds.DisplayTextAt(i, ds.FieldByName(field));
    }
    return values;
}
