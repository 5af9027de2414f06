#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "urls/Categories.h"
#include "urls/LinkImport.h"
#include "urls/ShortcutReader.h"
#include "urls/URLViewFrm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>

#include <limits>

// The imports of the URL view, kept apart from its other roles.

namespace {

// Bookmark files are larger than shortcuts, but not this large.
constexpr qint64 kMaxBookmarkFile = 256LL * 1024 * 1024;

QVector<TImportedLink> readBookmarkFile(const QString& fileName, TLinkImporter& importer) {
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
    return ReadBookmarkHtml(DecodeText(bytes), [&importer](qint64 done, qint64 total) {
        importer.Reading(done, total);
    });
}

// Keeps the progress window of an import painted and its Cancel heard while the import
// runs in the window's own thread: events are handled every few dozen milliseconds.
class TImportProgress final {
public:
    TImportProgress(QWidget* parent, int delayMs)
        : m_dialog(QCoreApplication::translate("TURLViewForm", "Импорт..."),
                   QCoreApplication::translate("TURLViewForm", "Отмена"), 0, 0, parent),
          m_delayMs(delayMs) {
        m_dialog.setObjectName(QStringLiteral("ImportProgress"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setAutoReset(false);
        m_dialog.setAutoClose(false);
        // Shown by step, never by the dialog's own timer, which needs a running loop.
        m_dialog.setMinimumDuration(std::numeric_limits<int>::max());
        m_dialog.reset();
        m_running.start();
    }

    void step(const QString& label, int percent) {
        if (m_pumped.isValid() && m_pumped.elapsed() < kPumpMs) {
            return;
        }
        m_pumped.start();
        m_dialog.setLabelText(label);
        if (percent >= 0) {
            m_dialog.setMaximum(100);
            m_dialog.setValue(percent);
        } else {
            m_dialog.setMaximum(0);
        }
        if (!m_dialog.isVisible() && m_running.elapsed() >= m_delayMs) {
            m_dialog.show();
        }
        QCoreApplication::processEvents();
        if (m_dialog.wasCanceled()) {
            throw EAbort();
        }
    }

private:
    static constexpr int kPumpMs = 40;
    QProgressDialog m_dialog;
    QElapsedTimer m_running;
    QElapsedTimer m_pumped;
    int m_delayMs;
};

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
        // The user may stop at any moment, keeping what was added so far.
        TImportProgress progress(this, ImportProgressDelayMs);
        importer.OnProgress = [&progress](int entries) {
            progress.step(tr("Импорт... %1").arg(entries), -1);
        };
        importer.OnReading = [&progress](qint64 done, qint64 total) {
            progress.step(tr("Чтение файла..."),
                          total > 0 ? static_cast<int>(done * 100 / total) : -1);
        };
        try {
            import(importer);
            importer.Finish();
        } catch (const EAbort&) {
            importer.Finish();
        }
    }
    RefreshAndLocate(key);
    QString summary =
        tr("Добавлено записей: %1. Пропущено: %2.").arg(importer.Added).arg(importer.Skipped);
    // The imported records' categories join the shared list; a list that cannot be written
    // is said, and the records stay.
    try {
        const QStringList joined =
            AddMissingCategories(m_module.adsCategoryList, importer.Categories);
        if (!joined.isEmpty()) {
            summary +=
                QLatin1Char(' ') + tr("В список категорий добавлено: %1.").arg(joined.size());
        }
    } catch (const std::exception& e) {
        summary += QStringLiteral("\n\n") +
                   tr("Список категорий не дополнен: %1").arg(QString::fromUtf8(e.what()));
    }
    if (!importer.SkippedNames.isEmpty()) {
        summary += QStringLiteral("\n\n") + importer.SkippedNames.join(QLatin1Char('\n'));
        const int more = importer.Skipped - static_cast<int>(importer.SkippedNames.size());
        if (more > 0) {
            summary += QStringLiteral("\n") + tr("и ещё %1").arg(more);
        }
    }
    ShowInformation(summary, this);
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
        const QVector<TImportedLink> links = readBookmarkFile(file, importer);
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
            const QVector<TImportedLink> links = readBookmarkFile(file, importer);
            for (const TImportedLink& link : links) {
                importer.Add(link);
            }
        }
    });
}
