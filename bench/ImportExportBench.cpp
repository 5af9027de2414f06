#include "ImportExportBench.h"

#include "platform/db/DataSet.h"
#include "urls/LinkExport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

TExportFigures MeasureBookmarkExport(TConnection& connection, const QString& folder) {
    TDataSet ds;
    ds.SetConnection(&connection);
    ds.SetCommandText(
        QStringLiteral("SELECT URL, Description, Category, Visited FROM SubjectURLs"));
    ds.Open();
    const TDataSetExportSource source(ds);
    const QString file = folder + QStringLiteral("/export-1m.html");
    TExportOptions options;
    options.addDate = 1796774400;
    TExportFigures f;
    QElapsedTimer t;
    t.start();
    f.records = ExportLinks(source, file, options);
    f.seconds = t.nsecsElapsed() / 1e9;
    f.bytes = QFileInfo(file).size();
    QFile::remove(file);
    return f;
}

// 10,000 Internet shortcuts in 200 folders nested four deep, and a bookmark file of 50,000
// links in 100 folders; made once.
void GenerateImportData(const QString& home) {
    const QString favorites = home + QStringLiteral("/Favorites");
    if (!QDir(favorites).exists()) {
        const QString tmp = favorites + QStringLiteral(".part");
        QDir(tmp).removeRecursively();
        for (int f = 0; f < 200; ++f) {
            const QString folder = tmp + QStringLiteral("/Папка %1/Раздел %2/Тема %3/Часть %4")
                                             .arg(f / 50)
                                             .arg(f / 10)
                                             .arg(f / 2)
                                             .arg(f);
            QDir().mkpath(folder);
            for (int i = 0; i < 50; ++i) {
                QFile file(folder + QStringLiteral("/Ссылка %1.url").arg(i));
                file.open(QIODevice::WriteOnly);
                file.write(
                    QStringLiteral("[InternetShortcut]\r\nURL=https://example%1.org/путь/%2\r\n"
                                   "IconIndex=0\r\n")
                        .arg(f)
                        .arg(i)
                        .toUtf8());
            }
        }
        QDir().rename(tmp, favorites);
    }
    const QString html = home + QStringLiteral("/bookmarks.html");
    if (!QFile::exists(html)) {
        QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n";
        for (int f = 0; f < 100; ++f) {
            out += "<DT><H3>Folder " + QByteArray::number(f) + "</H3>\n<DL><p>\n";
            for (int i = 0; i < 500; ++i) {
                out += "<DT><A HREF=\"https://site" + QByteArray::number(f) + ".example.org/page/" +
                       QByteArray::number(i) + "?q=a&amp;b=c\" ADD_DATE=\"1700000000\" TAGS=\"t" +
                       QByteArray::number(i % 7) + "\">Заголовок страницы " +
                       QByteArray::number(i) + "</A>\n<DD>Note about it\n";
            }
            out += "</DL><p>\n";
        }
        out += "</DL>\n";
        QFile file(html);
        file.open(QIODevice::WriteOnly);
        file.write(out);
    }
}
