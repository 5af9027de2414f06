#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The text of a bookmark file, with the places where its bytes could not be read.
struct TDecodedText {
    QString text;
    // Where a U+FFFD stands for bytes that are not valid in the file's encoding, in order.
    // A U+FFFD the file itself spells is not among them.
    std::vector<qsizetype> damage;
    // Why, in a few words, for an entry that holds such a place.
    QString reason;
    // The encoding the text was read in, as HTML names it ("utf-8", "windows-1251"...).
    QString encoding;

    // Whether [begin, end) of the text holds a place of damage.
    bool Damaged(qsizetype begin, qsizetype end) const;
};

// The encoding an HTML file declares in its head (a META tag's charset, or the charset of
// its Content-Type), in lower case; empty for none.
QString DeclaredCharset(const QByteArray& bytes);

// An HTML bookmark file's bytes as text: by a byte order mark, else by the encoding the file
// declares, else UTF-8 when the bytes are UTF-8 (a few bad sequences among many good ones
// are taken for damage), else Windows-1251. Each sequence that is not valid in the encoding
// becomes one U+FFFD and is noted, so it spoils only the entry it lies in.
TDecodedText DecodeBookmarkBytes(const QByteArray& bytes);
