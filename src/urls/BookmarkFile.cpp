#include "urls/BookmarkFile.h"

#include "platform/Errors.h"
#include "urls/ChromiumBookmarks.h"
#include "urls/CsvLinkReader.h"
#include "urls/FirefoxPlaces.h"
#include "urls/TextFiles.h"

#include <QCoreApplication>
#include <QFileInfo>

QVector<TImportedLink> ReadBookmarkFile(const QString& fileName, const TReadProgress& progress) {
    const QString name = QFileInfo(fileName).fileName();
    if (name == QLatin1String("places.sqlite")) {
        return ReadFirefoxPlaces(fileName);
    }
    QByteArray bytes;
    if (!ReadRegularFile(fileName, MaxBookmarkFileSize, bytes)) {
        throw EError(QCoreApplication::translate("LinkImport", "Не удалось прочитать файл %1")
                         .arg(fileName));
    }
    if (name == QLatin1String("Bookmarks")) {
        return ReadChromiumBookmarks(bytes, fileName);
    }
    if (name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        return ReadCsvLinks(DecodeText(bytes));
    }
    return ReadBookmarkHtmlBytes(bytes, progress);
}
