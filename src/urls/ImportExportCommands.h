#pragma once

#include <QCoreApplication>

#include <functional>

class TCatalogueModule;
class TDataSet;
class TImportSink;
class TURLViewForm;

// The imports and the export of the URL view. Each import reads everything first and shows
// what it would do in a preview; what the user accepts is written in one transaction, and a
// count of what was added, merged and skipped ends it. The export writes the records in view
// or all of them to a bookmark file, a CSV file or a folder of shortcuts.
class TImportExportCommands final {
    Q_DECLARE_TR_FUNCTIONS(TURLViewForm)
public:
    TImportExportCommands(TURLViewForm& view, TDataSet& dataSet, TCatalogueModule& module);

    void ImportFromFavorites();
    void ImportBookmarkFile();
    void ImportBrowserBookmarks();
    void Export();
    // $HOME/Favorites when it exists; otherwise the folder the user chooses (empty: none).
    QString FavoritesFolder();
    // How long a command runs before its progress window shows.
    void SetProgressDelayMs(int ms) { m_progressDelayMs = ms; }

private:
    // Runs one import under the hourglass with a progress window for long ones, then
    // re-queries, locates the former record and reports the counts.
    void runImport(const std::function<void(TImportSink&)>& import);

    TURLViewForm& m_view;
    TDataSet& m_dataSet;
    TCatalogueModule& m_module;
    int m_progressDelayMs = 1000;
};
