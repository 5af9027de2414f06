#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The language files tried for a locale, in order: "<exe>.<ABBR>", then "<exe>.<first two
// letters>", both in the language folder. Empty for the built-in language (0) or an
// unknown locale.
QStringList LanguageFileCandidates(qint32 localeId);

// Applies the language option at start: -1 becomes the system's locale, 0 keeps the
// built-in Russian texts, any other locale loads the first candidate file that loads.
// Returns the file loaded, or an empty text. Every failure is silent.
QString SelectLanguage(const std::function<bool(const QString&)>& load = {});
