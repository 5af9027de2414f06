#pragma once

#include <QString>

// The address OpenURL hands to the desktop: unchanged when it holds "//", else
// "http://" is put in front.
QString URLToOpen(const QString& text);
// Opens the address in the default browser; false when the desktop could not start one
// (the caller says so: a link that was never opened is not marked visited).
bool OpenURL(const QString& text);
// OpenURL, with an EError naming the address when no browser could be started.
void OpenURLOrThrow(const QString& text);

// Puts the window system's wait pointer behind THourglass; once, when the application
// starts.
void InstallWaitPointer();
