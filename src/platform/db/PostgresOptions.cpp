#include "platform/db/PostgresOptions.h"

#include "platform/db/DbProvider.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// A value for the driver's options in single quotes, its quotes and backslashes escaped
// (libpq's rule). The driver splits its options at ";", so a value holding one cannot be
// passed: refused with refusal (its %1 the value) rather than cut.
QString quotedOption(const QString& value, const QString& refusal) {
    if (value.contains(QLatin1Char(';'))) {
        throw EDatabaseError(refusal.arg(value));
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace

QString PostgresServiceOption(const QString& service) {
    if (service.isEmpty()) {
        return QString();
    }
    return QStringLiteral(";service=") +
           quotedOption(service, QCoreApplication::translate(
                                     "TPostgresProvider", "Имя службы не может содержать «;»: %1"));
}

// The TLS mode asked for. A root certificate means the user wants the server checked
// against it: with it, a mode that would go on unchecked, or without TLS at all, becomes
// verify-full rather than quietly trusting (or not encrypting to) any server; a mode that
// turns TLS off contradicts it and is refused.
QString PostgresTlsMode(const TConnectionString& connection) {
    QString mode = connection.value(QStringLiteral("SSL Mode")).trimmed().toLower();
    if (connection.value(QStringLiteral("SSL Root Cert")).trimmed().isEmpty()) {
        return mode;
    }
    if (mode == QLatin1String("disable")) {
        throw EDatabaseError(QCoreApplication::translate(
            "TPostgresProvider",
            "Указан корневой сертификат, но шифрование отключено: выберите режим с проверкой "
            "сертификата или уберите корневой сертификат."));
    }
    if (mode != QLatin1String("verify-ca")) {
        mode = QStringLiteral("verify-full");
    }
    return mode;
}

// libpq's TLS settings from the connection string: "SSL Mode" (disable, allow, prefer —
// libpq's own default: TLS whenever the server offers it —, require, verify-ca,
// verify-full) and "SSL Root Cert", the certificate authority to check the server's
// certificate against. The driver passes options separated by ";", so a path holding one
// cannot be passed and is refused rather than cut.
QString PostgresTlsOptions(const TConnectionString& connection, const QString& mode) {
    QString options;
    if (!mode.isEmpty()) {
        static const QStringList modes = {
            QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
            QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (!modes.contains(mode)) {
            throw EDatabaseError(
                QCoreApplication::translate("TPostgresProvider", "Неизвестный режим шифрования: %1")
                    .arg(mode));
        }
        options += QStringLiteral(";sslmode=") + mode;
    }
    const QString root = connection.value(QStringLiteral("SSL Root Cert")).trimmed();
    if (!root.isEmpty()) {
        options +=
            QStringLiteral(";sslrootcert=") +
            quotedOption(root, QCoreApplication::translate(
                                   "TPostgresProvider",
                                   "Путь к корневому сертификату не может содержать «;»: %1"));
    }
    return options;
}
