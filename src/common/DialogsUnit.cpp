#include "common/DialogsUnit.h"

#include "common/ConstsUnit.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QScreen>

namespace {

class TWidgetDialogs final : public TUserDialogs {
public:
    QMessageBox::StandardButton messageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& caption, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) override {
        QMessageBox box(icon, caption, text, buttons, parent);
        // Messages carry addresses, record texts and servers' replies: never read as markup.
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(defaultButton);
        box.adjustSize();
        PlaceOverOwner(&box);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                    QString& value) override {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
        if (ok) {
            value = answer;
        }
        return ok;
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }
    QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter) override {
        return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter, const QString& defaultSuffix) override {
        QFileDialog dialog(parent, caption, dir, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog.selectedFiles().first();
    }
    QString existingDirectory(QWidget* parent, const QString& caption,
                              const QString& dir) override {
        return QFileDialog::getExistingDirectory(parent, caption, dir);
    }
    bool printerDialog(QWidget* parent, QPrinter& printer, bool pageSetup) override {
        if (pageSetup) {
            QPageSetupDialog dialog(&printer, parent);
            return dialog.exec() == QDialog::Accepted;
        }
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    int execDialog(QDialog& dialog) override { return dialog.exec(); }
};

TUserDialogs*& installed() {
    static TUserDialogs* d = nullptr;
    return d;
}

QWidget* ownerOf(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

}  // namespace

TUserDialogs& Dialogs() {
    static TWidgetDialogs widgets;
    return installed() ? *installed() : widgets;
}

void SetDialogs(TUserDialogs* dialogs) {
    installed() = dialogs;
}

void ShowError(const QString& text, QWidget* parent) {
    Dialogs().messageBox(ownerOf(parent), QMessageBox::Critical, ApplicationTitle, text,
                         QMessageBox::Ok, QMessageBox::Ok);
}

void ShowInformation(const QString& text, QWidget* parent) {
    Dialogs().messageBox(ownerOf(parent), QMessageBox::Information, ApplicationTitle, text,
                         QMessageBox::Ok, QMessageBox::Ok);
}

bool ConfirmYesNo(const QString& text, QWidget* parent, QMessageBox::StandardButton defaultButton) {
    return Dialogs().messageBox(ownerOf(parent), QMessageBox::Question, ApplicationTitle, text,
                                QMessageBox::Yes | QMessageBox::No,
                                defaultButton) == QMessageBox::Yes;
}

QMessageBox::StandardButton ConfirmYesNoCancel(const QString& text, QWidget* parent) {
    return Dialogs().messageBox(ownerOf(parent), QMessageBox::Question, ApplicationTitle, text,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                QMessageBox::Yes);
}

void ShowException(const std::exception& e) noexcept {
    if (dynamic_cast<const EAbort*>(&e)) {
        return;
    }
    try {
        const auto* error = dynamic_cast<const EError*>(&e);
        ShowError(error ? error->message() : QString::fromLocal8Bit(e.what()));
    } catch (...) {
        // Nothing more can be shown; the error must not reach Qt.
    }
}

void PlaceOverOwner(QWidget* dialog) {
    const QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) {
        return;
    }
    const QRect frame = owner->frameGeometry();
    QRect rect(QPoint(), dialog->frameGeometry().size());
    rect.moveCenter(frame.center());
    // An owner lower than the dialog is the main bar: the dialog goes below it, never
    // over its menu.
    if (frame.height() < rect.height()) {
        rect.moveTop(frame.bottom() + 1 + frame.height() / 4);
    }
    if (const QScreen* screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        rect.moveLeft(
            qBound(area.left(), rect.left(), qMax(area.left(), area.right() - rect.width())));
        rect.moveTop(
            qBound(area.top(), rect.top(), qMax(area.top(), area.bottom() - rect.height())));
    }
    dialog->move(rect.topLeft());
}
