#pragma once

#include <QByteArray>
#include <QString>

// Internet shortcuts (".url" files): an initialization file whose "URL" key in its
// "InternetShortcut" section is the address.

// At most this much of a file is read; a shortcut is a few hundred bytes.
constexpr qint64 MaxShortcutFileSize = 64 * 1024;

// The address of an Internet shortcut file: "URL" in "InternetShortcut"; empty when the
// file cannot be read, is not text, or has no such key.
QString ReadShortcutURL(const QString& fileName);
QString ReadShortcutURLAt(int folder, const QByteArray& name);
