#pragma once

#include <QString>

// A bookmark's description from its title and note: blanks simplified, " - " between them
// unless one is empty, repeats the other, or the title is the note cut short with an
// ellipsis. Whole: the preview shortens what the catalogue cannot hold, and says so.
QString BookmarkDescription(const QString& title, const QString& note);

// The reason a separator is skipped.
QString SeparatorSkipReason();
