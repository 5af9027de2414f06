#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// A plain, unsorted list of "name=text" entries kept as the string values of one key.
using TValuesList = QStringList;
void LoadValuesList(TValuesList& list, const QString& key);
void SaveValuesList(const TValuesList& list, const QString& key);

QString ReadRegString(const QString& key, const QString& name, const QString& defaultValue);
bool WriteRegString(const QString& key, const QString& name, const QString& value);

// Appends "<date> <time> <tag as 8 hex digits> <message>" and CR LF to a text file.
void AppendLogLine(const QString& fileName, quint32 tag, const QString& message);
// The date and time as the log writes them: short date, blank, long time; the time is
// left out at exactly midnight.
QString LogDateTimeText(const QDateTime& when);

// The unit's start: the program's paths (mail log, languages, help), then the options.
void InitUtilsUnit();
