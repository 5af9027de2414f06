#pragma once

#include "urls/ImportedLink.h"

#include <QString>
#include <QVector>

// A Firefox places.sqlite, read from a copy so a running browser is not disturbed: the
// names of the folders that lead to a bookmark are its Folders (the roots — menu, toolbar,
// other, mobile — left out), the tags Firefox keeps for its address its Tags; the tag
// folders themselves are no links, separators come as entries to skip.
QVector<TImportedLink> ReadFirefoxPlaces(const QString& placesFile);
