#pragma once

#include "common/DialogsUnit.h"

#include <QQueue>
#include <QVariant>

// Answers the program's message boxes, input boxes and file dialogs from a script set up
// in advance, and records what was shown. An unscripted call answers Cancel (or an empty
// result) and is recorded as unexpected. Installs itself while it lives.
class TScriptedDialogs final : public TUserDialogs {
public:
    struct TShown {
        QString kind;  // "message", "input", "open", "openMany", "save", "directory"
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString caption;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    TScriptedDialogs();
    ~TScriptedDialogs() override;

    void answer(QMessageBox::StandardButton button) { m_answers.enqueue(button); }
    void answerInput(const QString& text) { m_answers.enqueue(text); }
    void answerCancel() { m_answers.enqueue(QVariant()); }
    void answerFiles(const QStringList& files) { m_answers.enqueue(files); }

    const QList<TShown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    int unexpected() const { return m_unexpected; }
    int pending() const { return m_answers.size(); }
    void clear();

    QMessageBox::StandardButton messageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& caption, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) override;
    bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                    QString& value) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;

private:
    QVariant next();
    QString nextFile(const QString& kind, const QString& caption);

    QQueue<QVariant> m_answers;
    QList<TShown> m_shown;
    int m_unexpected = 0;
};
