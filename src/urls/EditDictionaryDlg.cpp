#include "urls/EditDictionaryDlg.h"

#include "common/DialogsUnit.h"
#include "platform/db/DataSet.h"
#include "ui_EditDictionaryDlg.h"

#include <QKeyEvent>

namespace {
constexpr int kBookmarkRole = Qt::UserRole;
constexpr int kOldTextRole = Qt::UserRole + 1;
}  // namespace

TEditDictionaryForm::TEditDictionaryForm(QWidget* parent)
    : TExForm(parent), ui(std::make_unique<Ui::TEditDictionaryForm>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QListWidget* list = ui->ItemsListView;
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->installEventFilter(this);
    connect(ui->NewEdit, &QLineEdit::textChanged, this, &TEditDictionaryForm::NewEditChange);
    connect(ui->AddButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TEditDictionaryForm::AddButtonClick));
    connect(ui->RenameButton, &QPushButton::clicked, this, &TEditDictionaryForm::RenameButtonClick);
    connect(ui->DeleteButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TEditDictionaryForm::DeleteButtonClick));
    connect(list->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this]() { m_editing = false; });
    connect(list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (item->text() != item->data(kOldTextRole).toString()) {
            Guarded([this, item]() { ItemsListViewEdited(item, item->text()); });
        }
    });
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    NewEditChange();
}

TEditDictionaryForm::~TEditDictionaryForm() = default;

QListWidgetItem* TEditDictionaryForm::addItem(const QString& text, qint64 bookmark) {
    const QSignalBlocker block(ui->ItemsListView);
    auto* item = new QListWidgetItem(text);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setData(kBookmarkRole, bookmark);
    item->setData(kOldTextRole, text);
    ui->ItemsListView->addItem(item);
    return item;
}

int TEditDictionaryForm::Find(const QString& text) const {
    for (int i = 0; i < ui->ItemsListView->count(); ++i) {
        if (ui->ItemsListView->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QStringList TEditDictionaryForm::Items() const {
    QStringList l;
    for (int i = 0; i < ui->ItemsListView->count(); ++i) {
        l << ui->ItemsListView->item(i)->text();
    }
    return l;
}

void TEditDictionaryForm::Prepare(TDataSet& dataSet, const QString& fieldName) {
    m_dataSet = &dataSet;
    m_fieldName = fieldName;
    NewEditChange();
    ui->ItemsListView->clear();
    const TField& field = dataSet.FieldByName(fieldName);
    dataSet.First();
    while (!dataSet.Eof()) {
        addItem(field.AsString(), dataSet.GetBookmark());
        dataSet.Next();
    }
    if (field.Size > 0) {
        ui->NewEdit->setMaxLength(field.Size);
    }
    if (ui->ItemsListView->count() > 0) {
        ui->ItemsListView->setCurrentRow(0);
        ui->ItemsListView->item(0)->setSelected(true);
        ui->ItemsListView->setFocus();
    }
}

void TEditDictionaryForm::Finish(bool ok) {
    if (!m_dataSet) {
        return;
    }
    if (!ok) {
        m_dataSet->CancelBatch();
        return;
    }
    try {
        m_dataSet->UpdateBatch();
    } catch (...) {
        // The list is read again whatever the write did; the error goes on to be shown.
        m_dataSet->CancelBatch();
        m_dataSet->Requery();
        throw;
    }
    m_dataSet->Requery();
}

bool TEditDictionaryForm::Run(TDataSet& dataSet, const QString& fieldName) {
    bool ok = false;
    try {
        Prepare(dataSet, fieldName);
        ok = exec() == QDialog::Accepted;
    } catch (...) {
        dataSet.CancelBatch();
        throw;
    }
    Finish(ok);
    return ok;
}

void TEditDictionaryForm::NewEditChange() {
    const bool text = !ui->NewEdit->text().trimmed().isEmpty();
    ui->AddButton->setEnabled(text);
    ui->AddButton->setDefault(text);
    ui->OkButton->setDefault(!text);
}

void TEditDictionaryForm::AddButtonClick() {
    const QString text = ui->NewEdit->text().trimmed();
    if (!text.isEmpty() && Find(text) < 0 && m_dataSet) {
        m_dataSet->Append();
        m_dataSet->FieldByName(m_fieldName).SetValue(text);
        m_dataSet->Post();
        addItem(text, m_dataSet->GetBookmark());
    }
    ui->NewEdit->clear();
}

void TEditDictionaryForm::RenameButtonClick() {
    QListWidgetItem* item = ui->ItemsListView->currentItem();
    if (item) {
        m_editing = true;
        ui->ItemsListView->editItem(item);
    }
}

void TEditDictionaryForm::ItemsListViewEdited(QListWidgetItem* item, const QString& newText) {
    m_editing = false;
    const QString old = item->data(kOldTextRole).toString();
    const QString text = newText.trimmed();
    const int other = Find(text);
    const QSignalBlocker block(ui->ItemsListView);
    if (text.isEmpty() || (other >= 0 && ui->ItemsListView->item(other) != item)) {
        item->setText(old);
        return;
    }
    m_dataSet->GotoBookmark(item->data(kBookmarkRole).toLongLong());
    m_dataSet->Edit();
    m_dataSet->FieldByName(m_fieldName).SetValue(text);
    m_dataSet->Post();
    item->setText(text);
    item->setData(kOldTextRole, text);
}

void TEditDictionaryForm::DeleteButtonClick() {
    QListWidget* list = ui->ItemsListView;
    int position = -1;
    int i = 0;
    while (i < list->count()) {
        QListWidgetItem* item = list->item(i);
        if (!item->isSelected()) {
            ++i;
            continue;
        }
        try {
            m_dataSet->GotoBookmark(item->data(kBookmarkRole).toLongLong());
            m_dataSet->Delete();
        } catch (const EDatabaseError& e) {
            ShowException(e);  // one name that cannot go does not stop the others
            ++i;
            continue;
        }
        delete list->takeItem(i);
        position = i;
    }
    if (position >= 0 && list->count() > 0) {
        position = std::min(position, list->count() - 1);
        list->clearSelection();
        list->setCurrentRow(position);
        list->item(position)->setSelected(true);
    }
}

void TEditDictionaryForm::IdleUpdate() {
    const bool text = !ui->NewEdit->text().trimmed().isEmpty();
    ui->AddButton->setDefault(!m_editing && text);
    ui->OkButton->setDefault(!m_editing && !text);
    ui->CancelButton->setShortcut(m_editing ? QKeySequence() : QKeySequence(Qt::Key_Escape));
    ui->RenameButton->setEnabled(ui->ItemsListView->currentItem() != nullptr);
    ui->DeleteButton->setEnabled(!ui->ItemsListView->selectedItems().isEmpty());
    TExForm::IdleUpdate();
}

bool TEditDictionaryForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->ItemsListView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && !m_editing && ui->DeleteButton->isEnabled()) {
            Guarded([this]() { DeleteButtonClick(); });
            return true;
        }
        if (key->key() == Qt::Key_A && key->modifiers() == Qt::ControlModifier) {
            ui->ItemsListView->selectAll();
            return true;
        }
    }
    return TExForm::eventFilter(watched, event);
}
