#pragma once

#include "urls/ImportedLink.h"

#include <QString>

// The walk of a Favorites folder: every ".url" file (extension in any case), its address
// added with the names of the folders that lead to it as its Folders and its own name
// (without ".url") as its ShortcutName. Names are taken byte for byte, so none is lost for
// not being UTF-8 (such a name reads as Windows-1251). Each folder is visited once, so
// links that loop back are harmless; a link that leads out of the folder is not followed
// but counted as skipped. A folder is listed whole when it is entered and only the open
// folders' own names are kept (each link of a folder sharing one list of its folders), so
// time and memory grow with the number of folders and entries, whatever their depth.
class TFavoritesWalk final {
public:
    explicit TFavoritesWalk(TImportSink& importer) : m_importer(importer) {}
    void Walk(const QString& folder);

private:
    TImportSink& m_importer;
};
