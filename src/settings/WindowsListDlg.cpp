#include "settings/WindowsListDlg.h"

#include "common/DialogsUnit.h"
#include "common/ExForm.h"
#include "ui_WindowsListDlg.h"

#include <QApplication>
#include <QPointer>

Q_DECLARE_METATYPE(QPointer<QWidget>)

TWindowsListForm::TWindowsListForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TWindowsListForm>()) {
    ui->setupUi(this);
    connect(ui->OkButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TWindowsListForm::OkButtonClick));
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->WindowsListBox, &QListWidget::itemDoubleClicked, ui->OkButton, &QPushButton::click);
}

TWindowsListForm::~TWindowsListForm() = default;

void TWindowsListForm::FillList() {
    QListWidget* list = ui->WindowsListBox;
    list->setUpdatesEnabled(false);
    list->clear();
    QWidget* active = QApplication::activeWindow();
    // Remember the active window before this dialog takes the focus.
    if (active == this) {
        active = parentWidget() ? parentWidget()->window() : nullptr;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible() || w->windowTitle().isEmpty()) {
            continue;
        }
        auto* item = new QListWidgetItem(w->windowTitle(), list);
        item->setData(Qt::UserRole, QVariant::fromValue(QPointer<QWidget>(w)));
        if (w == active) {
            list->setCurrentItem(item);
        }
    }
    list->setUpdatesEnabled(true);
}

bool TWindowsListForm::Execute() {
    FillList();
    return Dialogs().execDialog(*this) == QDialog::Accepted;
}

QWidget* TWindowsListForm::SelectedWindow() const {
    const QListWidgetItem* item = ui->WindowsListBox->currentItem();
    return item ? item->data(Qt::UserRole).value<QPointer<QWidget>>().data() : nullptr;
}

void TWindowsListForm::OkButtonClick() {
    if (QWidget* w = SelectedWindow()) {
        RestoreMinimized(w);
        w->raise();
        w->activateWindow();
    }
    accept();
}
