#pragma once

#include <QString>

// The address OpenURL hands to the desktop (see AddressToOpen): a text without a scheme
// gets "http://" in front, a web or mail address is kept as it is; empty for an address
// that is not opened (a local file, data:, another program's scheme).
QString URLToOpen(const QString& text);
// Opens the address in the default browser or mail program; false when it is no web or
// mail address or the desktop could not start a program for it (the caller says so: a link
// that was never opened is not marked visited).
bool OpenURL(const QString& text);
// OpenURL, with an EError naming the address and why it was not opened. Returns the address
// as handed to the opener, the one TLinkOpener::Failed names should the opener fail later.
QString OpenURLOrThrow(const QString& text);

// Puts the window system's wait pointer behind THourglass; once, when the application
// starts.
void InstallWaitPointer();
