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
        QString kind;  // "message", "input", "open", "openMany", "save", "directory", "print",
                       // "pageSetup"
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString caption;
        QString text;
        QMessageBox::StandardButtons buttons;
        QString dir;     // a file dialog's proposed folder or file
        QString suffix;  // a save dialog's default suffix
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QString filter = QString();  // an open dialog's file types
    };

    TScriptedDialogs();
    ~TScriptedDialogs() override;

    void answer(QMessageBox::StandardButton button) { m_answers.enqueue(button); }
    void answerInput(const QString& text) { m_answers.enqueue(text); }
    void answerCancel() { m_answers.enqueue(QVariant()); }
    void answerFiles(const QStringList& files) { m_answers.enqueue(files); }
    // The next print or page setup dialog is confirmed; a print goes to this PDF file.
    void answerPrinter(const QString& pdfFile = QString()) { m_printers.enqueue(pdfFile); }

    const QList<TShown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    int unexpected() const { return m_unexpected; }
    int pending() const { return m_answers.size() + m_printers.size(); }
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
                         const QString& filter, const QString& defaultSuffix) override;
    QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    bool printerDialog(QWidget* parent, QPrinter& printer, bool pageSetup) override;

private:
    QVariant next();
    QString nextFile(const QString& kind, const QString& caption, const QString& dir = QString(),
                     const QString& suffix = QString());

    QQueue<QVariant> m_answers;
    QQueue<QString> m_printers;
    QList<TShown> m_shown;
    int m_unexpected = 0;
};
