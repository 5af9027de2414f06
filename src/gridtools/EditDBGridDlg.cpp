#include "gridtools/EditDBGridDlg.h"

#include "common/DialogsUnit.h"
#include "gridtools/DragListWidget.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/Field.h"
#include "ui_EditDBGridDlg.h"

#include <QEvent>

namespace {
constexpr int kColumnRole = Qt::UserRole;
}

TEditDBGridForm::TEditDBGridForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TEditDBGridForm>()) {
    ui->setupUi(this);
    QListWidget* list = ui->ColumnsCheckListBox;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Only drags that start in the list itself; below the last entry means onto it.
    ui->ColumnsCheckListBox->AcceptDropsFrom({ui->ColumnsCheckListBox});
    ui->ColumnsCheckListBox->SetInsertBeforeTarget(true);
    connect(ui->ColumnsCheckListBox, &TDragListWidget::dropped, this, [this]() { EntryChosen(); });
    connect(list, &QListWidget::currentRowChanged, this, [this](int) { EntryChosen(); });
    connect(ui->UpBitBtn, &QToolButton::clicked, this, &TEditDBGridForm::MoveUp);
    connect(ui->DownBitBtn, &QToolButton::clicked, this, &TEditDBGridForm::MoveDown);
    ui->ColumnEdit->installEventFilter(this);
    connect(ui->OkButton, &QPushButton::clicked, this, &TEditDBGridForm::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TEditDBGridForm::~TEditDBGridForm() = default;

void TEditDBGridForm::LoadColumns(TExDBGrid& grid) {
    m_selectedColumn = grid.SelectedIndex();
    QListWidget* list = ui->ColumnsCheckListBox;
    list->clear();
    m_positions.clear();
    // Every column, the hidden ones too: a key the program keeps out of sight included.
    for (int c : grid.ColumnOrder()) {
        m_positions << grid.ColumnPosition(c);
        auto* item = new QListWidgetItem(grid.ColumnTitle(c), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(grid.ColumnVisible(c) ? Qt::Checked : Qt::Unchecked);
        item->setData(kColumnRole, c);
    }
    list->setCurrentRow(0);
    EntryChosen();
}

void TEditDBGridForm::ApplyColumns(TExDBGrid& grid) const {
    const QListWidget* list = ui->ColumnsCheckListBox;
    // The entries take the places the listed columns had, in list order.
    for (int i = 0; i < list->count() && i < m_positions.size(); ++i) {
        const QListWidgetItem* item = list->item(i);
        const int column = item->data(kColumnRole).toInt();
        grid.SetColumnPosition(column, m_positions[i]);
        grid.SetColumnTitle(column, item->text());
        grid.SetColumnVisible(column, item->checkState() == Qt::Checked);
    }
    grid.SetSelectedIndex(m_selectedColumn);
}

void TEditDBGridForm::EntryChosen() {
    const int i = ui->ColumnsCheckListBox->currentRow();
    const int n = ui->ColumnsCheckListBox->count();
    ui->UpBitBtn->setEnabled(i > 0);
    ui->DownBitBtn->setEnabled(i >= 0 && i < n - 1);
    ui->ColumnEdit->setText(i >= 0 ? ui->ColumnsCheckListBox->item(i)->text() : QString());
}

void TEditDBGridForm::exchange(int a, int b) {
    QListWidget* list = ui->ColumnsCheckListBox;
    if (a < 0 || b < 0 || a >= list->count() || b >= list->count()) {
        return;
    }
    QListWidgetItem* item = list->takeItem(a);
    list->insertItem(b, item);
    list->setCurrentRow(b);
    EntryChosen();
}

void TEditDBGridForm::MoveUp() {
    const int i = ui->ColumnsCheckListBox->currentRow();
    exchange(i, i - 1);
}

void TEditDBGridForm::MoveDown() {
    const int i = ui->ColumnsCheckListBox->currentRow();
    exchange(i, i + 1);
}

void TEditDBGridForm::ApplyTitle() {
    const QString title = ui->ColumnEdit->text().trimmed();
    QListWidgetItem* item = ui->ColumnsCheckListBox->currentItem();
    if (item && !title.isEmpty()) {
        item->setText(title);
    }
}

void TEditDBGridForm::OkButtonClick() {
    ApplyTitle();
    accept();
}

bool TEditDBGridForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->ColumnEdit && event->type() == QEvent::FocusOut) {
        ApplyTitle();
    }
    return QDialog::eventFilter(watched, event);
}

bool TEditDBGridForm::Execute(TExDBGrid& grid) {
    LoadColumns(grid);
    if (Dialogs().execDialog(*this) != QDialog::Accepted) {
        return false;
    }
    ApplyColumns(grid);
    return true;
}

bool EditGridColumns(TExDBGrid& grid) {
    TEditDBGridForm form(grid.window());
    return form.Execute(grid);
}
