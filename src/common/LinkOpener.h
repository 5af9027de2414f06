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
    void SetProgram(const QString& program) { m_program = program; }
    void SetWatchMs(int ms) { m_watchMs = ms; }
    int WatchMs() const { return m_watchMs; }

    // The number of the last opener started, counted from 1; OpeningFailed names it, so that
    // one address opened twice is told apart.
    quint64 LastOpening() const { return m_lastOpening; }

public Q_SLOTS:
    // The name QDesktopServices calls by.
    void open(const QUrl& url);

Q_SIGNALS:
    void Failed(const QString& url, const QString& reason);
    // Sent before Failed, for the same opener.
    void OpeningFailed(quint64 opening);

private:
    TLinkOpener() = default;
    void ended(QProcess* process, quint64 opening, const QString& url, bool watched);
    void fail(quint64 opening, const QString& url, const QString& reason);

    QString m_program = QStringLiteral("xdg-open");
    int m_watchMs = 5000;
    quint64 m_lastOpening = 0;
};
