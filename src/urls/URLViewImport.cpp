#include "app/GeneralUnit.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "urls/LinkImport.h"
#include "urls/ShortcutReader.h"
#include "urls/URLViewFrm.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

// The imports of the URL view, kept apart from its other roles.

namespace {

// Bookmark files are larger than shortcuts, but not this large.
constexpr qint64 kMaxBookmarkFile = 256LL * 1024 * 1024;

QVector<TImportedLink> readBookmarkFile(const QString& fileName) {
    if (QFileInfo(fileName).fileName() == QLatin1String("places.sqlite")) {
        return ReadFirefoxPlaces(fileName);
    }
    QByteArray bytes;
    if (!ReadRegularFile(fileName, kMaxBookmarkFile, bytes)) {
        throw EError(QCoreApplication::translate("TURLViewForm", "Не удалось прочитать файл %1")
                         .arg(fileName));
    }
    if (QFileInfo(fileName).fileName() == QLatin1String("Bookmarks")) {
        return ReadChromiumBookmarks(bytes);
    }
    return ReadBookmarkHtml(DecodeText(bytes));
}

}  // namespace

QString TURLViewForm::FavoritesFolder() {
    const QString home = QDir::homePath() + QStringLiteral("/Favorites");
    if (QFileInfo(home).isDir()) {
        return home;
    }
    return Dialogs().existingDirectory(this, tr("Папка Избранного"), QDir::homePath());
}

void TURLViewForm::runImport(const std::function<void(TLinkImporter&)>& import) {
    const QVariant key = CurrentKey();
    TLinkImporter importer(m_module.ADOConnection);
    {
        const THourglass hourglass;
        // Shown only when the import runs longer than a second; it keeps the window
        // painted and lets the user stop, keeping what was added so far.
        QProgressDialog progress(tr("Импорт..."), tr("Отмена"), 0, 0, this);
        progress.setObjectName(QStringLiteral("ImportProgress"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(1000);
        progress.setAutoReset(false);
        importer.OnProgress = [&progress](int entries) {
            progress.setLabelText(tr("Импорт... %1").arg(entries));
            progress.setValue(0);
            if (progress.wasCanceled()) {
                throw EAbort();
            }
        };
        try {
            import(importer);
            importer.Finish();
        } catch (const EAbort&) {
            importer.Finish();
        }
    }
    RefreshAndLocate(key);
    ShowInformation(
        tr("Добавлено записей: %1. Пропущено: %2.").arg(importer.Added).arg(importer.Skipped),
        this);
}

void TURLViewForm::actImportFromFavoritesExecute() {
    if (!ConfirmYesNo(tr("Вы действительно хотите импортировать все URL из Избранного?"), this)) {
        return;
    }
    const QString folder = FavoritesFolder();
    if (folder.isEmpty()) {
        return;
    }
    runImport([&folder](TLinkImporter& importer) { TFavoritesWalk(importer).Walk(folder); });
}

void TURLViewForm::actImportBookmarkFileExecute() {
    const QString file = Dialogs().openFileName(
        this, tr("Импорт закладок из файла"), QDir::homePath(),
        tr("Файл закладок (*.html *.htm)") + QStringLiteral(";;") + tr("Любой файл (*)"));
    if (file.isEmpty() ||
        !ConfirmYesNo(
            tr("Вы действительно хотите импортировать все закладки из файла %1?").arg(file),
            this)) {
        return;
    }
    runImport([&file](TLinkImporter& importer) {
        const QVector<TImportedLink> links = readBookmarkFile(file);
        for (const TImportedLink& link : links) {
            importer.Add(link);
        }
    });
}

void TURLViewForm::actImportBrowserBookmarksExecute() {
    const QStringList files = BrowserBookmarkFiles(QDir::homePath());
    if (files.isEmpty()) {
        ShowInformation(tr("Закладки браузеров Firefox, Chromium и Chrome не найдены."), this);
        return;
    }
    if (!ConfirmYesNo(tr("Вы действительно хотите импортировать все закладки браузеров?\n\n%1")
                          .arg(files.join(QLatin1Char('\n'))),
                      this)) {
        return;
    }
    runImport([&files](TLinkImporter& importer) {
        for (const QString& file : files) {
            const QVector<TImportedLink> links = readBookmarkFile(file);
            for (const TImportedLink& link : links) {
                importer.Add(link);
            }
        }
    });
}
