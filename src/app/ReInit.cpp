#include "app/ReInit.h"

#include "common/UtilsUnit.h"
#include "platform/LocaleTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>

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
            return file;
        }
    }
    return QString();
}
