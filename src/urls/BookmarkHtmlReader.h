#pragma once

#include "urls/ImportedLink.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

struct TDecodedText;

// How far the reading of a text has come; may throw to stop.
using TReadProgress = std::function<void(qint64 done, qint64 total)>;

// The Netscape bookmark file every browser exports, read with HTML's own tokenizer (so a
// comment hides what it holds, a quoted value may hold '>' or "TAGS=", names are in any
// case, character references are decoded). The names of the folders (H3) that lead to a
// link are its Folders, its TAGS its Tags, its title (and note, DD) its description;
// separators (HR) and links inside a note come as entries to skip. Linear in the size of
// the text; reading reports to progress.
QVector<TImportedLink> ReadBookmarkHtml(const QString& text, const TReadProgress& progress = {});
// The same for a text whose damaged places are known: an entry (or a folder) holding one
// comes with Damage.
QVector<TImportedLink> ReadBookmarkHtml(const TDecodedText& text,
                                        const TReadProgress& progress = {});
// The same for a file's bytes, read in the encoding DecodeBookmarkBytes finds.
QVector<TImportedLink> ReadBookmarkHtmlBytes(const QByteArray& bytes,
                                             const TReadProgress& progress = {});
