#pragma once

#include <QString>
#include <QStringList>

// What a catalogue's address would be opened as. Only web and mail schemes are handed to the
// desktop: an address from someone else's file must never reach a handler that runs a
// program (a local script, a ".desktop" file, a network share, a data: page).
struct TAddressToOpen {
    // The address to open, its scheme one of OpenableSchemes(); empty when it is refused.
    QString url;
    // Why it is not opened; empty when it is.
    QString refusal;
};

// "http", "https", "ftp", "mailto".
const QStringList& OpenableSchemes();
// A text without a scheme gets "http://" in front; a text with a scheme of its own keeps it
// ("mailto:b@example.org" stays as it is) and is refused unless the scheme is an openable one;
// a local path ("/x", "//x", "~/x", "C:\x", "\\x") is refused.
TAddressToOpen AddressToOpen(const QString& text);
inline bool IsWebAddress(const QString& text) {
    return !AddressToOpen(text).url.isEmpty();
}
