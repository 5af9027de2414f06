#include "platform/LocaleTable.h"

#include <QLocale>

const QVector<TLocaleInfo>& KnownLocales() {
    static const QVector<TLocaleInfo> table = {
        {1049, QStringLiteral("RUS"), QStringLiteral("ru_RU")},
        {1033, QStringLiteral("ENU"), QStringLiteral("en_US")},
        {2057, QStringLiteral("ENG"), QStringLiteral("en_GB")},
        {1031, QStringLiteral("DEU"), QStringLiteral("de_DE")},
        {1036, QStringLiteral("FRA"), QStringLiteral("fr_FR")},
        {1034, QStringLiteral("ESN"), QStringLiteral("es_ES")},
        {1040, QStringLiteral("ITA"), QStringLiteral("it_IT")},
        {1045, QStringLiteral("PLK"), QStringLiteral("pl_PL")},
        {1058, QStringLiteral("UKR"), QStringLiteral("uk_UA")},
        {1059, QStringLiteral("BEL"), QStringLiteral("be_BY")},
        {1029, QStringLiteral("CSY"), QStringLiteral("cs_CZ")},
        {1043, QStringLiteral("NLD"), QStringLiteral("nl_NL")},
        {1046, QStringLiteral("PTB"), QStringLiteral("pt_BR")},
        {1055, QStringLiteral("TRK"), QStringLiteral("tr_TR")},
        {1041, QStringLiteral("JPN"), QStringLiteral("ja_JP")},
        {2052, QStringLiteral("CHS"), QStringLiteral("zh_CN")},
    };
    return table;
}

const TLocaleInfo* FindLocale(qint32 id) {
    for (const TLocaleInfo& l : KnownLocales()) {
        if (l.id == id) {
            return &l;
        }
    }
    return nullptr;
}

qint32 LocaleIdForQtName(const QString& qtName) {
    const QString language = qtName.section(QLatin1Char('_'), 0, 0);
    for (const TLocaleInfo& l : KnownLocales()) {
        if (l.qtName == qtName) {
            return l.id;
        }
    }
    for (const TLocaleInfo& l : KnownLocales()) {
        if (l.qtName.section(QLatin1Char('_'), 0, 0) == language) {
            return l.id;
        }
    }
    return 0;
}

qint32 SystemDefaultLocaleId() {
    return LocaleIdForQtName(QLocale::system().name());
}

QString LocaleAbbreviation(qint32 id) {
    const TLocaleInfo* l = FindLocale(id);
    return l ? l->abbreviation : QString();
}

QString LocaleLanguageName(qint32 id) {
    const TLocaleInfo* l = FindLocale(id);
    if (!l) {
        return QString();
    }
    const QLocale locale(l->qtName);
    return QStringLiteral("%1 (%2)").arg(QLocale::languageToString(locale.language()),
                                         QLocale::territoryToString(locale.territory()));
}
