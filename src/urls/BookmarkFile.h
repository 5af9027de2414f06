#pragma once

#include "urls/BookmarkHtmlReader.h"
#include "urls/ImportedLink.h"

#include <QString>
#include <QVector>

// Bookmark files are larger than shortcuts, but not this large.
constexpr qint64 MaxBookmarkFileSize = 256LL * 1024 * 1024;

// A bookmark file the user chose, read by the reader its name calls for: a Firefox
// "places.sqlite", a Chromium-family "Bookmarks", a ".csv" table, and otherwise an HTML
// bookmark file in the encoding it declares. An error (EError) when it cannot be read.
QVector<TImportedLink> ReadBookmarkFile(const QString& fileName,
                                        const TReadProgress& progress = {});
