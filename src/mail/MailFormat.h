#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The pieces of an Internet message that every mail reader must read back exactly: header
// values in encoded words, folded lines, quoted-printable text, file names as parameters,
// the date and the message id. Pure functions, so tests and fuzzers reach them.

// Whether a text is printable ASCII only (tabs allowed).
bool IsPlainAscii(const QString& text);

// RFC 2047: a text as one or more encoded words "=?UTF-8?B?...?=", each at most 75
// characters and never splitting a character, separated by single blanks.
QString EncodedWords(const QString& text);

// "Name: value" with a value that is not ASCII in encoded words, folded (RFC 5322 2.2.3) at
// blanks into lines of at most 78 characters where blanks allow, joined by CR LF and a
// blank. Throws EError for a value holding a line break.
QByteArray HeaderLine(const QString& name, const QString& value);

// A mailbox "display name <address>" for From, To and Cc: an ASCII name as given (quoted
// when it holds specials), any other in encoded words; just the address without a name.
QString Mailbox(const QString& displayName, const QString& address);

// An address the SMTP envelope may carry: ASCII, an "@", no blank, control character,
// angle bracket or other character that would end the command (RFC 5321 4.1.2).
bool IsValidMailAddress(const QString& address);

// RFC 2045 6.7: UTF-8 text with CR LF line ends as quoted-printable, lines of at most 76
// characters with soft line breaks; a line starting with "." gets it encoded, "From " too.
QByteArray QuotedPrintable(const QByteArray& text);

// A MIME parameter for a file name: name="value" for plain ASCII names, else the RFC 2231
// form name*=UTF-8''percent-encoded, which no line break or quote can leave.
QByteArray FileNameParameter(const QString& parameter, const QString& fileName);

// RFC 5322 3.3: "Wed, 09 Dec 2026 10:40:00 +0100", local time with its offset.
QString MailDate(const QDateTime& when);

// RFC 5322 3.6.4: "<random@host>", unique for every message.
QString NewMessageId(const QString& host);
