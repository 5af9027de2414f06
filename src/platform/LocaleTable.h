#pragma once

#include <QString>
#include <QVector>

// The Windows locale identifiers the program knows, with the three-letter abbreviation
// that names a language file and the Qt locale that stands for each.
struct TLocaleInfo {
    qint32 id;
    QString abbreviation;
    QString qtName;
};

const QVector<TLocaleInfo>& KnownLocales();
const TLocaleInfo* FindLocale(qint32 id);

// The identifier of the system's locale: an exact match of language and country,
// else the first entry of the same language, else 0 (the built-in language).
qint32 SystemDefaultLocaleId();
qint32 LocaleIdForQtName(const QString& qtName);

QString LocaleAbbreviation(qint32 id);
// "English (United States)": the language and its country, in English.
QString LocaleLanguageName(qint32 id);
