#include "urls/BookmarkDescription.h"

#include <QCoreApplication>

QString BookmarkDescription(const QString& title, const QString& note) {
    const QString t = title.simplified();
    const QString n = note.simplified();
    // A title cut short with an ellipsis, the whole text in the note (as the export
    // writes a long description): the note alone.
    const bool cut = t.endsWith(QChar(0x2026)) && n.startsWith(t.chopped(1));
    return (n.isEmpty() || n == t ? t : t.isEmpty() || cut ? n : t + QStringLiteral(" - ") + n);
}

QString SeparatorSkipReason() {
    return QCoreApplication::translate("LinkImport", "разделитель");
}
