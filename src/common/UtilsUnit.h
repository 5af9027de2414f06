#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

// One of the three comma-separated noun forms that agrees with n in Russian:
// "запись,записи,записей" gives "запись" for 1, 21, 111, "записи" for 2..4, 22, and
// "записей" for 0, 5..20, 25.
// In an interface of another language (its forms translated) the rule of that language:
// for English and the like, the first form for 1 and the third for any other count.
QString PluralForm(qint64 n, const QString& forms);
// The language of the interface, by its Qt locale name ("ru_RU", "en_US"); Russian until
// a language file is installed.
void SetInterfaceLanguage(const QString& localeName);

// The address OpenURL hands to the desktop: unchanged when it holds "//", else
// "http://" is put in front.
QString URLToOpen(const QString& text);
// Opens the address in the default browser; false when the desktop could not start one
// (the caller says so: a link that was never opened is not marked visited).
bool OpenURL(const QString& text);
// OpenURL, with an EError naming the address when no browser could be started.
void OpenURLOrThrow(const QString& text);

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

// "Today" as the program sees it; tests fix it to make date rules repeatable.
QDateTime Now();
void SetNowForTesting(std::function<QDateTime()> clock);

// The program options, loaded once at start before any window exists.
struct TProgramOptions {
    QString SMTPServerAddress;
    quint16 SMTPServerPort = 25;
    // The program's texts are UTF-8 throughout; "us-ascii" would mislabel every Cyrillic report.
    QString DefaultCharSet = QStringLiteral("utf-8");
    // Seconds the mailer waits for the server at most, each time it waits.
    qint32 SMTPTimeOut = 60;
    // 0 none, 1 STARTTLS, 2 TLS on connect; with a user name the mailer signs in.
    qint32 SMTPSecurity = 0;
    QString SMTPUserName;
    QString SMTPPassword;
    // The SHA-256 digest of a server certificate the user trusts (hex).
    QString SMTPTrustedCertificate;
    bool LogMail = false;
    qint32 CurrentLanguage = -1;
};
TProgramOptions& Options();

void LoadOptions(const QString& key);
void SaveOptions(const QString& key);

// Paths derived once at start from the executable's folder: beside it in a build tree, in
// ../share/linkarium/ and the user's state folder once installed.
struct TProgramPaths {
    QString mailLog;
    QString languages;
    QString help;
};
TProgramPaths ProgramPathsFor(const QString& exeFolder, const QString& exeName,
                              const QString& stateHome);
QString MailLogFileName();
// The help file in the interface language.
QString HelpFileName();
// The help file of a language beside the built-in one ("linkarium.en.html" for English),
// the built-in one when there is none.
QString LocalizedHelpFile(const QString& helpFile, QLocale::Language language);
QString LanguagesFolder();
void SetLanguagesFolder(const QString& folder);
// "<languages folder><executable name>.<abbreviation>".
QString LanguageFileName(const QString& abbreviation);

// The unit's start: the mail log path, the options, the language folder.
void InitUtilsUnit();

class TDataSet;
// Clears to null every text field (not GUID) of the current record whose value, trimmed
// of blanks and control characters, is empty; other values are left as they are.
void NullBlankFields(TDataSet& dataSet);
