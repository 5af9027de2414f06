#include "common/ProgramPaths.h"

#include "common/TextUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
TProgramPaths& paths() {
    static TProgramPaths p;
    return p;
}
}  // namespace

QString ProgramFolder() {
    if (!QCoreApplication::instance()) {
        return QString();
    }
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

void SetProgramPaths(const TProgramPaths& programPaths) {
    paths() = programPaths;
}

QString MailLogFileName() {
    return paths().mailLog;
}

QString LanguagesFolder() {
    return paths().languages;
}

void SetLanguagesFolder(const QString& folder) {
    paths().languages = folder;
}

QString LanguageFileName(const QString& abbreviation) {
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return LanguagesFolder() + exe + QLatin1Char('.') + abbreviation;
}

TProgramPaths ProgramPathsFor(const QString& exeFolder, const QString& exeName,
                              const QString& stateHome) {
    const QString folder = exeFolder.endsWith(QLatin1Char('/')) ? exeFolder : exeFolder + u'/';
    const QString data = QDir::cleanPath(folder + QStringLiteral("../share/linkarium")) + u'/';
    TProgramPaths p;
    // Beside the executable first (a build tree, the described layout), then the data
    // folder of an installed program.
    p.languages = folder + QStringLiteral("Languages/");
    if (!QFileInfo(p.languages).isDir() &&
        QFileInfo(data + QStringLiteral("translations")).isDir()) {
        p.languages = data + QStringLiteral("translations/");
    }
    const QString help = exeName + QStringLiteral(".html");
    p.help = folder + help;
    if (!QFileInfo::exists(p.help) && QFileInfo::exists(data + QStringLiteral("help/") + help)) {
        p.help = data + QStringLiteral("help/") + help;
    }
    // Beside a build tree's executable; an installed program (its data folder exists) or a
    // folder nobody may write keeps it in the user's state folder (XDG Base Directory), so
    // even root never writes into /usr/bin.
    p.mailLog = folder + QStringLiteral("Mail.Log");
    if (!QFileInfo(folder).isWritable() || QFileInfo(data).isDir()) {
        const QString state =
            stateHome.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/state") : stateHome;
        p.mailLog = state + QStringLiteral("/Linkarium/Mail.Log");
    }
    return p;
}

QString HelpFileName() {
    QString help = paths().help;
    if (help.isEmpty() && QCoreApplication::instance()) {
        help =
            ProgramPathsFor(ProgramFolder(),
                            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(),
                            qEnvironmentVariable("XDG_STATE_HOME"))
                .help;
    }
    return LocalizedHelpFile(help, InterfaceLanguage());
}

QString LocalizedHelpFile(const QString& helpFile, QLocale::Language language) {
    if (language == QLocale::Russian || helpFile.isEmpty()) {
        return helpFile;
    }
    // "linkarium.html" → "linkarium.en.html", when that file is there.
    const QFileInfo info(helpFile);
    const QString localized = info.path() + QLatin1Char('/') + info.completeBaseName() +
                              QLatin1Char('.') + QLocale::languageToCode(language) +
                              QLatin1Char('.') + info.suffix();
    return QFileInfo::exists(localized) ? localized : helpFile;
}
