#include "support/ScriptedDialogs.h"

#include <QDialog>
#include <QPrinter>

TScriptedDialogs::TScriptedDialogs() {
    SetDialogs(this);
}

TScriptedDialogs::~TScriptedDialogs() {
    SetDialogs(nullptr);
}

QStringList TScriptedDialogs::shownTexts() const {
    QStringList texts;
    for (const TShown& s : m_shown) {
        texts << s.text;
    }
    return texts;
}

void TScriptedDialogs::clear() {
    m_answers.clear();
    m_printers.clear();
    m_windows.clear();
    m_shown.clear();
    m_unexpected = 0;
}

QVariant TScriptedDialogs::next() {
    if (m_answers.isEmpty()) {
        ++m_unexpected;
        return QVariant();
    }
    return m_answers.dequeue();
}

QMessageBox::StandardButton TScriptedDialogs::messageBox(
    QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    m_shown.append(
        {QStringLiteral("message"), icon, caption, text, buttons, {}, {}, defaultButton});
    // A box with OK alone needs no script: OK is its only answer.
    if (buttons == QMessageBox::Ok) {
        return QMessageBox::Ok;
    }
    const QVariant a = next();
    if (!a.isValid()) {
        return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
    }
    return static_cast<QMessageBox::StandardButton>(a.toInt());
}

bool TScriptedDialogs::inputQuery(QWidget*, const QString& caption, const QString& prompt,
                                  QString& value) {
    m_shown.append({QStringLiteral("input"), QMessageBox::NoIcon, caption, prompt, {}, {}, {}});
    const QVariant a = next();
    if (!a.isValid()) {
        return false;
    }
    value = a.toString();
    return true;
}

QString TScriptedDialogs::nextFile(const QString& kind, const QString& caption, const QString& dir,
                                   const QString& suffix) {
    m_shown.append({kind, QMessageBox::NoIcon, caption, QString(), {}, dir, suffix});
    const QVariant a = next();
    if (a.userType() == QMetaType::QStringList) {
        const QStringList l = a.toStringList();
        return l.isEmpty() ? QString() : l.first();
    }
    return a.toString();
}

QString TScriptedDialogs::openFileName(QWidget*, const QString& caption, const QString&,
                                       const QString& filter) {
    const QString file = nextFile(QStringLiteral("open"), caption);
    m_shown.last().filter = filter;
    return file;
}

QStringList TScriptedDialogs::openFileNames(QWidget*, const QString& caption, const QString&,
                                            const QString&) {
    m_shown.append(
        {QStringLiteral("openMany"), QMessageBox::NoIcon, caption, QString(), {}, {}, {}});
    return next().toStringList();
}

QString TScriptedDialogs::saveFileName(QWidget*, const QString& caption, const QString& dir,
                                       const QString&, const QString& defaultSuffix) {
    return nextFile(QStringLiteral("save"), caption, dir, defaultSuffix);
}

QString TScriptedDialogs::existingDirectory(QWidget*, const QString& caption, const QString&) {
    return nextFile(QStringLiteral("directory"), caption);
}

bool TScriptedDialogs::printerDialog(QWidget*, QPrinter& printer, bool pageSetup) {
    m_shown.append({pageSetup ? QStringLiteral("pageSetup") : QStringLiteral("print"),
                    QMessageBox::NoIcon,
                    QString(),
                    QString(),
                    {},
                    {},
                    {}});
    if (m_printers.isEmpty()) {
        ++m_unexpected;
        return false;
    }
    const QString file = m_printers.dequeue();
    if (!pageSetup) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    }
    return true;
}

int TScriptedDialogs::execDialog(QDialog& dialog) {
    m_shown.append({QStringLiteral("window"),
                    QMessageBox::NoIcon,
                    dialog.objectName(),
                    dialog.windowTitle(),
                    {},
                    {},
                    {}});
    if (m_windows.isEmpty()) {
        ++m_unexpected;
        return QDialog::Rejected;
    }
    return m_windows.dequeue()(dialog);
}
