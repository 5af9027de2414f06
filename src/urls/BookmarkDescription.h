#pragma once

#include <QString>

// The catalogue's Description field, and what a read link's description may hold.
constexpr int kImportedDescriptionSize = 255;

// A bookmark's description from its title and note: blanks simplified, " - " between them
// unless one is empty, repeats the other, or the title is the note cut short with an
// ellipsis; at most kImportedDescriptionSize characters.
QString BookmarkDescription(const QString& title, const QString& note);

// The reason a separator is skipped.
QString SeparatorSkipReason();
