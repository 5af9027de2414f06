#include "urls/ImportExportCommands.h"

#include "common/CatalogueModule.h"
#include "common/Clock.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "platform/db/DataSet.h"
#include "urls/Categories.h"
#include "urls/ExportDlg.h"
#include "urls/ImportPreviewDlg.h"
#include "urls/LinkExport.h"
#include "urls/LinkImport.h"
#include "urls/ShortcutReader.h"
#include "urls/URLViewFrm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>

#include <limits>

namespace {

QVector<TImportedLink> readBookmarkFile(const QString& fileName, TImportSink& importer) {
    return ReadBookmarkFile(
        fileName, [&importer](qint64 done, qint64 total) { importer.Reading(done, total); });
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

TImportExportCommands::TImportExportCommands(TURLViewForm& view, TDataSet& dataSet,
                                             TCatalogueModule& module)
    : m_view(view), m_dataSet(dataSet), m_module(module) {}

QString TImportExportCommands::FavoritesFolder() {
    const QString home = QDir::homePath() + QStringLiteral("/Favorites");
    if (QFileInfo(home).isDir()) {
        return home;
    }
    return Dialogs().existingDirectory(&m_view, tr("Папка Избранного"), QDir::homePath());
}

void TImportExportCommands::runImport(const std::function<void(TImportSink&)>& import) {
    const QVariant key = m_view.CurrentKey();
    TImportPreview preview;
    {
        const THourglass hourglass;
        TImportProgress progress(&m_view, m_progressDelayMs);
        TImportCollector collector(preview);
        collector.OnProgress = [&progress](int entries) {
            progress.step(tr("Чтение... %1").arg(entries), -1);
        };
        collector.OnReading = [&progress](qint64 done, qint64 total) {
            progress.step(tr("Чтение файла..."),
                          total > 0 ? static_cast<int>(done * 100 / total) : -1);
        };
        try {
            import(collector);
        } catch (const EAbort&) {
            return;  // nothing is written before the preview
        }
        preview.LoadExisting(m_module.ADOConnection);
    }
    const TImportOptions options = TImportOptions::Load();
    preview.Classify(options);
    {
        TImportPreviewForm form(preview, options, &m_view);
        if (Dialogs().execDialog(form) != QDialog::Accepted) {
            return;
        }
    }
    preview.Options().Save();
    TImportResult result;
    {
        const THourglass hourglass;
        TImportProgress progress(&m_view, m_progressDelayMs);
        try {
            result = preview.Write(m_module.ADOConnection, [&progress](int done, int total) {
                progress.step(tr("Импорт... %1 из %2").arg(done).arg(total),
                              total > 0 ? done * 100 / total : -1);
            });
        } catch (const EAbort&) {
            ShowInformation(tr("Импорт прерван, ничего не записано."), &m_view);
            return;
        }
    }
    m_view.RefreshAndLocate(key);
    QString summary =
        tr("Добавлено записей: %1. Пропущено: %2.").arg(result.added).arg(result.skipped);
    if (result.merged > 0) {
        summary += QLatin1Char(' ') + tr("Объединено с имеющимися: %1.").arg(result.merged);
    }
    // The imported records' categories join the shared list; a list that cannot be written
    // is said, and the records stay.
    try {
        if (!m_module.CategoriesReadOnly.isEmpty() && !result.categories.isEmpty()) {
            throw EError(m_module.CategoriesReadOnly);
        }
        const QStringList joined =
            AddMissingCategories(m_module.adsCategoryList, result.categories);
        if (!joined.isEmpty()) {
            summary +=
                QLatin1Char(' ') + tr("В список категорий добавлено: %1.").arg(joined.size());
        }
    } catch (const std::exception& e) {
        summary += QStringLiteral("\n\n") +
                   tr("Список категорий не дополнен: %1").arg(QString::fromUtf8(e.what()));
    }
    if (!result.skippedNames.isEmpty()) {
        summary += QStringLiteral("\n\n") + result.skippedNames.join(QLatin1Char('\n'));
        const int more = result.skipped - static_cast<int>(result.skippedNames.size());
        if (more > 0) {
            summary += QStringLiteral("\n") + tr("и ещё %1").arg(more);
        }
    }
    ShowInformation(summary, &m_view);
}

void TImportExportCommands::ImportFromFavorites() {
    if (!ConfirmYesNo(tr("Вы действительно хотите импортировать все URL из Избранного?"),
                      &m_view)) {
        return;
    }
    const QString folder = FavoritesFolder();
    if (folder.isEmpty()) {
        return;
    }
    runImport([&folder](TImportSink& importer) { TFavoritesWalk(importer).Walk(folder); });
}

void TImportExportCommands::ImportBookmarkFile() {
    const QString file = Dialogs().openFileName(
        &m_view, tr("Импорт закладок из файла"), QDir::homePath(),
        tr("Файл закладок (*.html *.htm)") + QStringLiteral(";;") + tr("Таблица CSV (*.csv)") +
            QStringLiteral(";;") + tr("Закладки браузера (places.sqlite Bookmarks)") +
            QStringLiteral(";;") + tr("Любой файл (*)"));
    if (file.isEmpty() ||
        !ConfirmYesNo(
            tr("Вы действительно хотите импортировать все закладки из файла %1?").arg(file),
            &m_view)) {
        return;
    }
    runImport([&file](TImportSink& importer) {
        const QVector<TImportedLink> links = readBookmarkFile(file, importer);
        for (const TImportedLink& link : links) {
            importer.Add(link);
        }
    });
}

void TImportExportCommands::ImportBrowserBookmarks() {
    const QStringList files = BrowserBookmarkFiles(QDir::homePath());
    if (files.isEmpty()) {
        ShowInformation(
            tr("Закладки браузеров Firefox, Chromium, Chrome, Brave, Vivaldi и Edge не найдены."),
            &m_view);
        return;
    }
    if (!ConfirmYesNo(tr("Вы действительно хотите импортировать все закладки браузеров?\n\n%1")
                          .arg(files.join(QLatin1Char('\n'))),
                      &m_view)) {
        return;
    }
    runImport([&files](TImportSink& importer) {
        for (const QString& file : files) {
            // One profile's damaged or locked file leaves the others' bookmarks to import;
            // it is named among the skipped entries with why.
            QVector<TImportedLink> links;
            try {
                links = readBookmarkFile(file, importer);
            } catch (const EError& e) {
                importer.Skip(e.message());
                continue;
            }
            for (const TImportedLink& link : links) {
                importer.Add(link);
            }
        }
    });
}

void TImportExportCommands::Export() {
    TDataSet all;
    all.SetConnection(&m_module.ADOConnection);
    all.SetCommandText(
        QStringLiteral("SELECT URL, Description, Category, Visited FROM SubjectURLs"));
    all.Open();
    m_dataSet.FetchRest();
    TExportForm form(m_dataSet.RecordCount(), all.RecordCount(), &m_view);
    if (Dialogs().execDialog(form) != QDialog::Accepted) {
        return;
    }
    TExportOptions options = form.Options();
    options.addDate = Now().toSecsSinceEpoch();
    const TDataSetExportSource source(form.AllRecords() ? all : m_dataSet);
    int written = 0;
    {
        const THourglass hourglass;
        TImportProgress progress(&m_view, m_progressDelayMs);
        try {
            written = ExportLinks(source, form.Target(), options, [&progress](int done, int total) {
                progress.step(tr("Экспорт... %1 из %2").arg(done).arg(total),
                              total > 0 ? static_cast<int>(qint64(done) * 100 / total) : -1);
            });
        } catch (const EAbort&) {
            ShowInformation(
                options.format == TExportFormat::UrlFolder
                    ? tr("Экспорт прерван; записанные ярлыки остались в %1.").arg(form.Target())
                    : tr("Экспорт прерван, файл %1 не записан.").arg(form.Target()),
                &m_view);
            return;
        }
    }
    ShowInformation(tr("Записей экспортировано: %1 в %2.").arg(written).arg(form.Target()),
                    &m_view);
}
