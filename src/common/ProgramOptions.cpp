#include "common/ProgramOptions.h"

#include "platform/registry/Registry.h"

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
    if (const auto v = reg.ReadInteger(QStringLiteral("LinkCheckTimeOut")); v && *v > 0) {
        o.LinkCheckTimeOut = *v;
    }
    if (const auto v = reg.ReadInteger(QStringLiteral("LinkCheckHistory")); v && *v > 0) {
        o.LinkCheckHistory = *v;
    }
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
    reg.WriteInteger(QStringLiteral("LinkCheckTimeOut"), o.LinkCheckTimeOut);
    reg.WriteInteger(QStringLiteral("LinkCheckHistory"), o.LinkCheckHistory);
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
