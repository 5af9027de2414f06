#pragma once

#include <QString>

// Why a path cannot be used as it stands, or empty when it can. A folder or file name that
// is not valid UTF-8 reads back (from the environment or a folder listing) with U+FFFD in
// place of its bytes; opening or making that path would reach another file than the one
// meant, so such a path is refused, naming it. A name that really holds U+FFFD is usable
// where it exists.
QString UnreadablePathProblem(const QString& path);

// Makes the folder and the folders above it, as QDir::mkpath does, but never one whose name
// could not be read; false when it is not there afterwards.
bool MakeFolders(const QString& path);

// Before the application object exists: a runtime folder (XDG_RUNTIME_DIR) whose name is
// not UTF-8 is forgotten, so the toolkit falls back to its own folder instead of making
// one with U+FFFD in its name. Says so on standard error.
void ForgetUnreadableRuntimeFolder();
