#pragma once

#include <QObject>
#include <QString>

class QProcess;
class QUrl;

// Hands web and mail addresses to the desktop's opener and watches it for a few seconds: an
// opener that ends in failure then (no browser or mail program could be run) is told
// through Failed. Installed as the handler of the openable schemes, so that every
// QDesktopServices::openUrl of the program reaches it. An opener still running when the
// watch ends counts as a success: it may stay until the browser closes.
class TLinkOpener final : public QObject {
    Q_OBJECT
public:
    static TLinkOpener& Instance();
    // Makes it the handler of the schemes AddressToOpen lets through.
    static void Install();

    // The opener program and how long it is watched; tests stand in their own.
    QString Program = QStringLiteral("xdg-open");
    int WatchMs = 5000;

public Q_SLOTS:
    // The name QDesktopServices calls by.
    void open(const QUrl& url);

Q_SIGNALS:
    void Failed(const QString& url, const QString& reason);

private:
    TLinkOpener() = default;
    void ended(QProcess* process, const QString& url, bool watched);
};
