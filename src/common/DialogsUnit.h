#pragma once

#include "platform/Errors.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QDialog;
class QPrinter;
class QWidget;

// Every message box, input box and file dialog of the program goes through here, so
// that tests answer them in advance instead of blocking on a modal window.
class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;

    virtual QMessageBox::StandardButton messageBox(QWidget* parent, QMessageBox::Icon icon,
                                                   const QString& caption, const QString& text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton) = 0;
    // Returns false on cancel; value holds the initial text and receives the answer.
    virtual bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                            QString& value) = 0;
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter) = 0;
    // defaultSuffix (without the dot) is added to a name typed without one before the
    // dialog asks whether to replace an existing file.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter,
                                 const QString& defaultSuffix = QString()) = 0;
    virtual QString existingDirectory(QWidget* parent, const QString& caption,
                                      const QString& dir) = 0;
    // The print dialog, or the page setup dialog; true when the user confirmed it.
    virtual bool printerDialog(QWidget* parent, QPrinter& printer, bool pageSetup) = 0;
    // One of the program's own modal windows, built and filled by its caller; returns how
    // it was closed (QDialog::Accepted, Rejected or the value given to done()).
    virtual int execDialog(QDialog& dialog) = 0;
};

// The dialogs in force; tests install their own and put nullptr back afterwards.
TUserDialogs& Dialogs();
void SetDialogs(TUserDialogs* dialogs);

// The program's message box kinds, all captioned with the application title.
// Centres a dialog on the window it belongs to; below that window when the window is
// lower than the dialog (the main bar), so its menu stays in sight.
void PlaceOverOwner(QWidget* dialog);

void ShowError(const QString& text, QWidget* parent = nullptr);
void ShowInformation(const QString& text, QWidget* parent = nullptr);
bool ConfirmYesNo(const QString& text, QWidget* parent = nullptr,
                  QMessageBox::StandardButton defaultButton = QMessageBox::Yes);
QMessageBox::StandardButton ConfirmYesNoCancel(const QString& text, QWidget* parent = nullptr);

// The default error display: the message of an error leaving a command, nothing for a
// silent abort. Never throws.
void ShowException(const std::exception& e) noexcept;

// Runs a command handler so that no exception ever reaches Qt.
template <typename F>
void Guarded(F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(EError(QStringLiteral("Unknown error")));
    }
}

// A slot that runs a method of object through Guarded, whatever the signal carries:
// connect(button, &QPushButton::clicked, this, GuardedSlot(this, &TForm::OkButtonClick)).
template <typename C>
auto GuardedSlot(C* object, void (C::*method)()) {
    return [object, method]() { Guarded([object, method]() { (object->*method)(); }); };
}
