#pragma once

#include "urls/ImportedLink.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A Chromium-family browser's "Bookmarks" file (JSON: Chromium, Chrome, Brave, Vivaldi,
// Edge); the root folders (bookmark bar, other, mobile) give no folder name. A file that is
// not such JSON (cut short, damaged, nested too deep) is an error (EError) naming the file,
// the parser's reason and the byte where it stopped. Folders are walked without recursion.
QVector<TImportedLink> ReadChromiumBookmarks(const QByteArray& json,
                                             const QString& fileName = QString());
