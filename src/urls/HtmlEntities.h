#pragma once

#include <QString>
#include <QStringView>

// Character references of HTML text and attribute values: the named ones of HTML 4 and the
// commonest of HTML 5 ("&nbsp;", "&mdash;", "&laquo;"...), each with its semicolon, and the
// numeric ones ("&#8212;", "&#x2014;", the semicolon optional) as HTML reads them: a code
// out of range or a surrogate becomes U+FFFD, 128 to 159 the Windows-1252 character. Any
// other '&' stays as it is. Linear in the size of the text.
QString DecodeHtmlEntities(QStringView text);
