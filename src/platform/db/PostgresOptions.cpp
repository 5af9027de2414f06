#include "platform/db/PostgresOptions.h"

#include "platform/db/DbProvider.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

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
// certificate against.
void AddPostgresTlsOptions(const TConnectionString& connection, const QString& mode,
                           TPgOptions& options) {
    if (!mode.isEmpty()) {
        static const QStringList modes = {
            QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
            QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (!modes.contains(mode)) {
            throw EDatabaseError(
                QCoreApplication::translate("TPostgresProvider", "Неизвестный режим шифрования: %1")
                    .arg(mode));
        }
        options.emplace_back("sslmode", mode.toUtf8());
    }
    const QString root = connection.value(QStringLiteral("SSL Root Cert")).trimmed();
    if (!root.isEmpty()) {
        options.emplace_back("sslrootcert", QFile::encodeName(root));
    }
}
