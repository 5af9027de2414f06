#pragma once

#include <QLocale>
#include <QString>

// One of the three comma-separated noun forms that agrees with n in Russian:
// "запись,записи,записей" gives "запись" for 1, 21, 111, "записи" for 2..4, 22, and
// "записей" for 0, 5..20, 25.
// In an interface of another language (its forms translated) the rule of that language:
// for English and the like, the first form for 1 and the third for any other count.
QString PluralForm(qint64 n, const QString& forms);
// The language of the interface, by its Qt locale name ("ru_RU", "en_US"); Russian until
// a language file is installed.
void SetInterfaceLanguage(const QString& localeName);

// The language whose plural rule PluralForm follows.
QLocale::Language InterfaceLanguage();

// Text with leading and trailing blanks and control characters (everything up to and
// including the space) removed.
QString TrimmedFieldText(const QString& text);
