#include "common/WebAddress.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QUrl>

const QStringList& OpenableSchemes() {
    static const QStringList schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                        QStringLiteral("ftp"), QStringLiteral("mailto")};
    return schemes;
}

TAddressToOpen AddressToOpen(const QString& text) {
    const QString trimmed = text.trimmed();
    TAddressToOpen result;
    if (trimmed.isEmpty()) {
        result.refusal = QCoreApplication::translate("WebAddress", "нет адреса");
        return result;
    }
    for (const QChar c : trimmed) {
        if (c.category() == QChar::Other_Control) {
            result.refusal =
                QCoreApplication::translate("WebAddress", "управляющий символ в адресе");
            return result;
        }
    }
    // A scheme is letters, digits, "+", "-", "." before a colon (RFC 3986, 3.1), and "C:\dir"
    // is a drive. "example.org:8080" and "localhost:8080" are a host and a port; "tel:5551234"
    // and "mailto:1234@example.org" are schemes.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    static const QRegularExpression port(QStringLiteral("^[A-Za-z0-9.-]+:\\d+(?:[/?#]|$)"));
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    if (drive.match(trimmed).hasMatch() || trimmed.startsWith(QLatin1Char('/')) ||
        trimmed.startsWith(QLatin1Char('\\')) || trimmed.startsWith(QLatin1Char('~')) ||
        trimmed.startsWith(QLatin1String("./")) || trimmed.startsWith(QLatin1String("../")) ||
        trimmed.startsWith(QLatin1String(".\\")) || trimmed.startsWith(QLatin1String("..\\"))) {
        result.refusal = QCoreApplication::translate("WebAddress", "путь к локальному файлу");
        return result;
    }
    const QRegularExpressionMatch match = scheme.match(trimmed);
    const QString before = match.captured(1);
    const bool hostAndPort = port.match(trimmed).hasMatch() &&
                             (before.contains(QLatin1Char('.')) ||
                              before.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0);
    if (!match.hasMatch() || hostAndPort) {
        result.url = QStringLiteral("http://") + trimmed;
        return result;
    }
    const QString name = match.captured(1).toLower();
    if (!OpenableSchemes().contains(name)) {
        result.refusal =
            QCoreApplication::translate("WebAddress", "схема «%1:» не веб-адрес и не почта")
                .arg(match.captured(1));
        return result;
    }
    if (name == QLatin1String("mailto")) {
        // Some mail programs take "attach=" as a file to send with the letter: an address
        // from someone else's file would mail out a local file.
        const QString query = trimmed.section(QLatin1Char('?'), 1);
        static const QRegularExpression separators(QStringLiteral("[&?;]"));
        for (const QString& field : query.split(separators, Qt::SkipEmptyParts)) {
            const QString key =
                QUrl::fromPercentEncoding(field.section(QLatin1Char('='), 0, 0).toUtf8())
                    .trimmed()
                    .toLower();
            if (key == QLatin1String("attach") || key == QLatin1String("attachment")) {
                result.refusal =
                    QCoreApplication::translate("WebAddress", "письмо с вложенным файлом");
                return result;
            }
        }
    }
    result.url = trimmed;
    return result;
}
