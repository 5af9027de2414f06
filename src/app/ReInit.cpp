#include "app/ReInit.h"

#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "common/TextUnit.h"
#include "platform/LocaleTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
// Qt's own texts (standard buttons, file dialogs) in the language the program speaks.
void installQtTexts(qint32 localeId) {
    const TLocaleInfo* locale = FindLocale(localeId == 0 ? 1049 : localeId);
    if (!locale) {
        return;
    }
    SetInterfaceLanguage(locale->qtName);
    static QTranslator qtTexts;
    if (qtTexts.load(QLocale(locale->qtName), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTexts);
    }
}
}  // namespace

QStringList LanguageFileCandidates(qint32 localeId) {
    QStringList files;
    const QString abbreviation = LocaleAbbreviation(localeId);
    if (localeId == 0 || abbreviation.isEmpty()) {
        return files;
    }
    files << LanguageFileName(abbreviation);
    if (abbreviation.size() > 2) {
        files << LanguageFileName(abbreviation.left(2));
    }
    return files;
}

QString SelectLanguage(const std::function<bool(const QString&)>& load) {
    TProgramOptions& o = Options();
    if (o.CurrentLanguage == -1) {
        o.CurrentLanguage = SystemDefaultLocaleId();
    }
    const auto install = [](const QString& file) {
        // Lives for the rest of the run: the application keeps using it.
        static QTranslator translator;
        return QFileInfo(file).isFile() && translator.load(file) &&
               QCoreApplication::installTranslator(&translator);
    };
    for (const QString& file : LanguageFileCandidates(o.CurrentLanguage)) {
        if (load ? load(file) : install(file)) {
            if (!load) {
                installQtTexts(o.CurrentLanguage);
            }
            return file;
        }
    }
    if (!load) {
        installQtTexts(0);  // the built-in texts are Russian
    }
    return QString();
}
