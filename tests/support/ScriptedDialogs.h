#pragma once

#include "common/DialogsUnit.h"

#include <QQueue>
#include <QVariant>

#include <functional>

// Answers the program's message boxes, input boxes and file dialogs from a script set up
// in advance, and records what was shown. An unscripted call answers Cancel (or an empty
// result) and is recorded as unexpected. Installs itself while it lives.
class TScriptedDialogs final : public TUserDialogs {
public:
    struct TShown {
        QString kind;  // "message", "input", "open", "openMany", "save", "directory", "print",
                       // "pageSetup", "window" (caption: its objectName,
                       // text: its title)
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
    // The next of the program's own windows is answered by this: it sees the real window,
    // filled as the program filled it, sets its widgets (found by objectName) and returns
    // how the window closes. A window nobody answers is rejected and recorded as unexpected.
    void answerDialog(std::function<int(QDialog&)> answer) { m_windows.enqueue(std::move(answer)); }

    const QList<TShown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    int unexpected() const { return m_unexpected; }
    int pending() const { return m_answers.size() + m_printers.size() + m_windows.size(); }
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
    int execDialog(QDialog& dialog) override;

private:
    QVariant next();
    QString nextFile(const QString& kind, const QString& caption, const QString& dir = QString(),
                     const QString& suffix = QString());

    QQueue<QVariant> m_answers;
    QQueue<QString> m_printers;
    QQueue<std::function<int(QDialog&)>> m_windows;
    QList<TShown> m_shown;
    int m_unexpected = 0;
};
