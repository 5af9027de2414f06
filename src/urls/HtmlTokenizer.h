#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

// One piece of an HTML text as a browser splits it.
struct THtmlToken {
    enum Kind { Text, StartTag, EndTag, Comment, Declaration };
    struct TAttribute {
        QString name;   // in lower case
        QString value;  // character references decoded
    };
    Kind kind = Text;
    // Where the piece lies in the text: [begin, end).
    qsizetype begin = 0;
    qsizetype end = 0;
    // A tag's name in lower case; a text's, a comment's or a declaration's own characters
    // (character references of a text not decoded: Decoded() does that).
    QString name;
    QStringView raw;
    QVector<TAttribute> attributes;
    bool selfClosing = false;

    // The value of the first attribute of that name (lower case); empty when there is none.
    QString Attribute(QLatin1String attribute) const;
    bool HasAttribute(QLatin1String attribute) const;
    // A text's characters, references decoded (a script's or a style's as they are).
    QString Decoded() const;
    bool decode = true;
};

// Splits an HTML text into texts, tags with their attributes (values quoted with '"', '\''
// or not at all), comments and declarations, as HTML's tokenizer does: names of tags and
// attributes in any case, a '>' or a name inside a quoted value only part of the value, a
// comment ending at the first "-->" (or at the end of the text), a tag cut off by the end
// of the text dropped, a '<' that starts no tag an ordinary character. The contents of
// SCRIPT, STYLE, TITLE and TEXTAREA are text up to their end tag. Every character is looked
// at a bounded number of times, so the cost is linear in the size of the text.
class THtmlTokenizer final {
public:
    explicit THtmlTokenizer(QStringView text) : m_text(text) {}
    // The next piece; false at the end of the text.
    bool Next(THtmlToken& token);
    // How far the split has come.
    qsizetype Position() const { return m_at; }

private:
    bool tag(THtmlToken& token, bool end);
    void findRawEnd(const QString& name);
    void comment(THtmlToken& token);
    void bogus(THtmlToken& token, THtmlToken::Kind kind, qsizetype from);
    bool startsMarkup(qsizetype at) const;
    void skipSpace();

    QStringView m_text;
    qsizetype m_at = 0;
    // After a SCRIPT, STYLE, TITLE or TEXTAREA start tag: where its end tag begins, the
    // text up to there being text whatever it holds (-1: no such text pending).
    qsizetype m_rawStop = -1;
    bool m_rawDecoded = false;
    // The elements found to have no end tag after some point, so none is searched for again
    // (such an element's contents are read as ordinary HTML).
    bool m_noEnd[4] = {};
};
