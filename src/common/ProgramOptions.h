#pragma once

#include <QString>

// The program options, loaded once at start before any window exists.
struct TProgramOptions {
    QString SMTPServerAddress;
    quint16 SMTPServerPort = 25;
    // The program's texts are UTF-8 throughout; "us-ascii" would mislabel every Cyrillic report.
    QString DefaultCharSet = QStringLiteral("utf-8");
    // Seconds the mailer waits for the server at most, each time it waits.
    qint32 SMTPTimeOut = 60;
    // 0 none, 1 STARTTLS, 2 TLS on connect; with a user name the mailer signs in.
    qint32 SMTPSecurity = 0;
    QString SMTPUserName;
    QString SMTPPassword;
    // The SHA-256 digest of a server certificate the user trusts (hex).
    QString SMTPTrustedCertificate;
    bool LogMail = false;
    // Seconds a link check waits for a site's answer, each request.
    qint32 LinkCheckTimeOut = 15;
    // Checks kept in the history of each address, the newest.
    qint32 LinkCheckHistory = 20;
    qint32 CurrentLanguage = -1;
};
TProgramOptions& Options();

void LoadOptions(const QString& key);
void SaveOptions(const QString& key);
