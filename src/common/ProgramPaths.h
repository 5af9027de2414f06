#pragma once

#include <QLocale>
#include <QString>

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
// The executable's folder with a trailing "/"; empty before the application exists.
QString ProgramFolder();
void SetProgramPaths(const TProgramPaths& programPaths);
