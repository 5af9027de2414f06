#pragma once

#include "common/DialogsUnit.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

// Answers Yes to every question, as a user does, and names the file an open dialog asks for.
class TYesDialogs final : public TUserDialogs {
public:
    QString file;
    QMessageBox::StandardButton messageBox(QWidget*, QMessageBox::Icon, const QString&,
                                           const QString&, QMessageBox::StandardButtons,
                                           QMessageBox::StandardButton) override {
        return QMessageBox::Yes;
    }
    bool inputQuery(QWidget*, const QString&, const QString&, QString&) override { return false; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return file;
    }
    QStringList openFileNames(QWidget*, const QString&, const QString&, const QString&) override {
        return {file};
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&,
                         const QString&) override {
        return QString();
    }
    QString existingDirectory(QWidget*, const QString&, const QString&) override {
        return QString();
    }
    bool printerDialog(QWidget*, QPrinter&, bool) override { return false; }
    // Each of the program's windows is answered by window when it is set, accepted as the
    // program filled it otherwise.
    std::function<int(QDialog&)> window;
    int execDialog(QDialog& dialog) override {
        return window ? window(dialog) : int(QDialog::Accepted);
    }
};
