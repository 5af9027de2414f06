#pragma once

#include <QByteArray>
#include <QString>

// Text files from outside (shortcuts, bookmark files, browser profile lists): read without
// ever blocking, decoded whatever their encoding.

// Reads at most limit bytes of a regular file (never a FIFO, device or directory, so the
// read cannot block); false when it is not one or cannot be read.
bool ReadRegularFile(const QString& fileName, qint64 limit, QByteArray& bytes);
// The same for a name in an open folder, taken byte for byte: names that are not valid
// UTF-8 are read as well.
bool ReadRegularFileAt(int folder, const QByteArray& name, qint64 limit, QByteArray& bytes);

// Text of bytes: UTF-8 with or without BOM, UTF-16 with BOM, otherwise Windows-1251 when
// the bytes are not valid UTF-8.
QString DecodeText(const QByteArray& bytes);

// Bytes read as Windows-1251, each byte one character (0x98, which it leaves undefined,
// U+FFFD).
QString DecodeWindows1251(const QByteArray& bytes);

// A file name's bytes: UTF-8 when they are valid UTF-8, otherwise Windows-1251.
QString DecodeName(const QByteArray& bytes);

// True for bytes that hold a NUL outside UTF-16 text: not a text file.
bool LooksBinary(const QByteArray& bytes);

// The value of a key in a section of initialization-file text, names compared without
// regard to case; empty when either is missing. Lines end in CR LF, LF or CR.
QString IniValue(const QString& text, const QString& section, const QString& key);
