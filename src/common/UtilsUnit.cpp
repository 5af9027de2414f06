#include "common/UtilsUnit.h"

#include "common/ConstsUnit.h"
#include "platform/db/DataSet.h"
#include "platform/db/FieldTypes.h"
#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

namespace {

TProgramPaths& paths() {
    static TProgramPaths p;
    return p;
}

std::function<QDateTime()>& fixedClock() {
    static std::function<QDateTime()> c;
    return c;
}

QString programFolder() {
    if (!QCoreApplication::instance()) {
        return QString();
    }
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

}  // namespace

namespace {
QLocale::Language& interfaceLanguage() {
    static QLocale::Language language = QLocale::Russian;
    return language;
}
}  // namespace

void SetInterfaceLanguage(const QString& localeName) {
    interfaceLanguage() = QLocale(localeName).language();
}

QString PluralForm(qint64 n, const QString& forms) {
    const QStringList parts = forms.split(QLatin1Char(','));
    const auto form = [&parts](int i) { return i < parts.size() ? parts.at(i) : QString(); };
    const QLocale::Language language = interfaceLanguage();
    if (language != QLocale::Russian && language != QLocale::Ukrainian &&
        language != QLocale::Belarusian) {
        return n == 1 ? form(0) : form(2);
    }
    if (n >= 10 && n <= 19) {
        return form(2);
    }
    // Negative counts never occur; the C remainder would give a wrong form for them.
    const qint64 r = (n < 0 ? -n : n) % 10;
    if (r == 1) {
        return form(0);
    }
    if (r >= 2 && r <= 4) {
        return form(1);
    }
    return form(2);
}

QString URLToOpen(const QString& text) {
    if (text.contains(QLatin1String("//"))) {
        return text;
    }
    return QStringLiteral("http://") + text;
}

bool OpenURL(const QString& text) {
    return QDesktopServices::openUrl(QUrl(URLToOpen(text), QUrl::TolerantMode));
}

void OpenURLOrThrow(const QString& text) {
    if (!OpenURL(text)) {
        throw EError(QCoreApplication::translate("UtilsUnit",
                                                 "Не удалось открыть адрес в браузере: %1\n"
                                                 "Проверьте, какой браузер выбран в системе "
                                                 "по умолчанию.")
                         .arg(URLToOpen(text)));
    }
}

void LoadValuesList(TValuesList& list, const QString& key) {
    list.clear();
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return;
    }
    for (const TRegNamedValue& v : TRegistryStore::instance().values(key)) {
        if (v.value.type == TRegValue::Type::String) {
            list << v.name + QLatin1Char('=') + v.value.text;
        }
    }
}

void SaveValuesList(const TValuesList& list, const QString& key) {
    TRegistry reg;
    reg.DeleteKey(key);
    if (list.isEmpty() || !reg.OpenKey(key, true)) {
        return;
    }
    for (const QString& entry : list) {
        const int eq = entry.indexOf(QLatin1Char('='));
        if (eq < 0) {
            reg.WriteString(entry, QString());
        } else {
            reg.WriteString(entry.left(eq), entry.mid(eq + 1));
        }
    }
}

QString ReadRegString(const QString& key, const QString& name, const QString& defaultValue) {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return defaultValue;
    }
    return reg.ReadString(name).value_or(defaultValue);
}

bool WriteRegString(const QString& key, const QString& name, const QString& value) {
    TRegistry reg;
    return reg.OpenKey(key, true) && reg.WriteString(name, value);
}

QString LogDateTimeText(const QDateTime& when) {
    return DateTimeToStr(when);
}

void AppendLogLine(const QString& fileName, quint32 tag, const QString& message) {
    // The state folder of an installed program may not exist yet.
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return;
    }
    const QString line = LogDateTimeText(Now()) + QLatin1Char(' ') +
                         QStringLiteral("%1").arg(tag, 8, 16, QLatin1Char('0')).toUpper() +
                         QLatin1Char(' ') + message + QStringLiteral("\r\n");
    file.write(line.toUtf8());
}

QDateTime Now() {
    return fixedClock() ? fixedClock()() : QDateTime::currentDateTime();
}

void SetNowForTesting(std::function<QDateTime()> c) {
    fixedClock() = std::move(c);
}

TProgramOptions& Options() {
    static TProgramOptions options;
    return options;
}

void LoadOptions(const QString& key) {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return;
    }
    TProgramOptions& o = Options();
    if (const auto v = reg.ReadString(QStringLiteral("SMTPServerAddress"))) {
        o.SMTPServerAddress = *v;
    }
    if (const auto v = reg.ReadInteger(QStringLiteral("SMTPServerPort"))) {
        o.SMTPServerPort = static_cast<quint16>(static_cast<quint32>(*v) & 0xFFFFu);
    }
    if (const auto v = reg.ReadString(QStringLiteral("DefaultCharSet"))) {
        o.DefaultCharSet = *v;
    }
    if (const auto v = reg.ReadInteger(QStringLiteral("SMTPTimeOut")); v && *v > 0) {
        o.SMTPTimeOut = *v;
    }
    if (const auto v = reg.ReadInteger(QStringLiteral("SMTPSecurity")); v && *v >= 0 && *v <= 2) {
        o.SMTPSecurity = *v;
    }
    o.SMTPUserName = reg.ReadString(QStringLiteral("SMTPUserName")).value_or(QString());
    o.SMTPPassword = reg.ReadString(QStringLiteral("SMTPPassword")).value_or(QString());
    o.SMTPTrustedCertificate =
        reg.ReadString(QStringLiteral("SMTPTrustedCertificate")).value_or(QString());
    if (const auto v = reg.ReadBool(QStringLiteral("LogMail"))) {
        o.LogMail = *v;
    }
    if (const auto v = reg.ReadInteger(QStringLiteral("CurrentLanguage"))) {
        o.CurrentLanguage = *v;
    }
}

void SaveOptions(const QString& key) {
    TRegistry reg;
    if (!reg.OpenKey(key, true)) {
        return;
    }
    const TProgramOptions& o = Options();
    reg.WriteString(QStringLiteral("SMTPServerAddress"), o.SMTPServerAddress);
    reg.WriteInteger(QStringLiteral("SMTPServerPort"), static_cast<qint32>(o.SMTPServerPort));
    reg.WriteString(QStringLiteral("DefaultCharSet"), o.DefaultCharSet);
    reg.WriteInteger(QStringLiteral("SMTPTimeOut"), o.SMTPTimeOut);
    // Written only once used, so a store of an earlier version reads the same.
    const auto writeIfSet = [&reg](const char* name, const QString& value) {
        if (!value.isEmpty() || reg.ValueExists(QLatin1String(name))) {
            reg.WriteString(QLatin1String(name), value);
        }
    };
    if (o.SMTPSecurity != 0 || reg.ValueExists(QStringLiteral("SMTPSecurity"))) {
        reg.WriteInteger(QStringLiteral("SMTPSecurity"), o.SMTPSecurity);
    }
    writeIfSet("SMTPUserName", o.SMTPUserName);
    writeIfSet("SMTPPassword", o.SMTPPassword);
    writeIfSet("SMTPTrustedCertificate", o.SMTPTrustedCertificate);
    reg.WriteBool(QStringLiteral("LogMail"), o.LogMail);
    reg.WriteInteger(QStringLiteral("CurrentLanguage"), o.CurrentLanguage);
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
            ProgramPathsFor(programFolder(),
                            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(),
                            qEnvironmentVariable("XDG_STATE_HOME"))
                .help;
    }
    return LocalizedHelpFile(help, interfaceLanguage());
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

void InitUtilsUnit() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    paths() = ProgramPathsFor(programFolder(), exe.completeBaseName(),
                              qEnvironmentVariable("XDG_STATE_HOME"));
    LoadOptions(RegOptionsKey);
}

void NullBlankFields(TDataSet& dataSet) {
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        TField& f = dataSet.Fields(i);
        const TFieldClass c = f.FieldClass();
        if (f.FieldKind != TFieldKind::Data || (c != TFieldClass::Text && c != TFieldClass::Memo) ||
            f.IsNull()) {
            continue;
        }
        const QString text = f.AsString();
        bool blank = true;
        for (const QChar ch : text) {
            // Blanks and control characters: everything up to and including the space.
            if (ch.unicode() > 0x20) {
                blank = false;
                break;
            }
        }
        if (blank) {
            f.Clear();
        }
    }
}
