#include "urls/CategoryDlg.h"

#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "common/TextUnit.h"
#include "platform/db/DataSet.h"
#include "ui_CategoryDlg.h"
#include "urls/Categories.h"
#include "views/CommonDlg.h"

#include <QKeyEvent>

namespace {
const QString kCategoryField = QStringLiteral("CategoryName");

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
}  // namespace

TCategoryForm::TCategoryForm(TCatalogueModule& module, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TCategoryForm>()), m_module(module) {
    ui->setupUi(this);
    ui->CategoryMemo->installEventFilter(this);
    connect(ui->CategoryMemo, &QPlainTextEdit::textChanged, this,
            &TCategoryForm::CategoryMemoChange);
    connect(ui->CategoryCheckListBox, &QListWidget::itemChanged, this,
            GuardedSlot(this, &TCategoryForm::CategoryCheckListBoxClickCheck));
    connect(ui->AddButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TCategoryForm::AddButtonClick));
    connect(ui->CategoryButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TCategoryForm::CategoryButtonClick));
    connect(ui->OkButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TCategoryForm::OkButtonClick));
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TCategoryForm::~TCategoryForm() = default;

QStringList TCategoryForm::SplitNames(const QString& text) {
    return SplitCategoryNames(text);
}

QString TCategoryForm::Text() const {
    return ui->CategoryMemo->toPlainText();
}

void TCategoryForm::addItem(const QString& name, bool checked) {
    QListWidget* list = ui->CategoryCheckListBox;
    // Alphabetical without regard to letter case.
    int at = 0;
    while (at < list->count() && list->item(at)->text().compare(name, Qt::CaseInsensitive) <= 0) {
        ++at;
    }
    auto* item = new QListWidgetItem(name);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    list->insertItem(at, item);
}

void TCategoryForm::FillCheckList() {
    const QSignalBlocker block(ui->CategoryCheckListBox);
    ui->CategoryCheckListBox->setUpdatesEnabled(false);
    ui->CategoryCheckListBox->clear();
    TDataSet& list = m_module.adsCategoryList;
    const TField& name = list.FieldByName(kCategoryField);
    for (int r = 0; r < list.RecordCount(); ++r) {
        addItem(list.DisplayTextAt(r, name), false);
    }
    ui->CategoryCheckListBox->setUpdatesEnabled(true);
    SetChecksFromText();
}

void TCategoryForm::SetChecksFromText() {
    const QStringList names = SplitNames(Text());
    const QSignalBlocker block(ui->CategoryCheckListBox);
    for (int i = 0; i < ui->CategoryCheckListBox->count(); ++i) {
        QListWidgetItem* item = ui->CategoryCheckListBox->item(i);
        bool checked = false;
        for (const QString& n : names) {
            checked = checked || sameName(n, item->text());
        }
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void TCategoryForm::CategoryCheckListBoxClickCheck() {
    QStringList names = SplitNames(Text());
    QString result;
    for (int i = 0; i < ui->CategoryCheckListBox->count(); ++i) {
        const QListWidgetItem* item = ui->CategoryCheckListBox->item(i);
        for (int n = 0; n < names.size(); ++n) {
            if (sameName(names[n], item->text())) {
                names.removeAt(n);
                break;
            }
        }
        if (item->checkState() == Qt::Checked) {
            result += item->text() + QStringLiteral("; ");
        }
    }
    for (const QString& n : names) {
        result += n + QStringLiteral("; ");
    }
    result.chop(2);
    const QSignalBlocker block(ui->CategoryCheckListBox);
    ui->CategoryMemo->setPlainText(result);
}

void TCategoryForm::CategoryMemoChange() {
    const bool text = !Text().isEmpty();
    // Adding writes the shared list.
    ui->AddButton->setEnabled(text && m_module.CategoriesReadOnly.isEmpty());
    ui->AddButton->setToolTip(m_module.CategoriesReadOnly);
    ui->AddButton->setDefault(text);
    ui->OkButton->setDefault(!text);
}

void TCategoryForm::AddButtonClick() {
    TDataSet& list = m_module.adsCategoryList;
    // The names the record will carry: a line break pasted into the text separates them as
    // ";" does.
    for (const QString& name : SplitNames(Text())) {
        bool known = false;
        for (int i = 0; i < ui->CategoryCheckListBox->count(); ++i) {
            known = known || sameName(ui->CategoryCheckListBox->item(i)->text(), name);
        }
        if (known) {
            continue;
        }
        list.Append();
        list.FieldByName(kCategoryField).SetValue(name);
        list.Post();
        const QSignalBlocker block(ui->CategoryCheckListBox);
        addItem(list.FieldByName(kCategoryField).AsString(), false);
    }
    SetChecksFromText();
}

void TCategoryForm::CategoryButtonClick() {
    m_module.EditCategoryList();
    FillCheckList();
}

void TCategoryForm::OkButtonClick() {
    const int length = static_cast<int>(TrimmedFieldText(Text()).size());
    const int size = CategoryFieldSize(m_module.ADOConnection);
    if (length > size) {
        ShowError(CategoriesTooLongMessage(m_recordAddress, length, size), this);
        return;
    }
    accept();
}

void TCategoryForm::Prepare(const QString& text) {
    ui->CategoryMemo->setPlainText(text);
    CategoryMemoChange();
    {
        const THourglass hourglass;
        TCategoryRecords records(m_module.ADOConnection);
        OfferUsedCategories(m_module.adsCategoryList, records);
    }
    FillCheckList();
}

void TCategoryForm::Finish(bool ok) {
    TDataSet& list = m_module.adsCategoryList;
    if (!ok) {
        list.CancelBatch();
        return;
    }
    list.UpdateBatch();
    list.Requery();
}

bool TCategoryForm::Run(const QString& text, QString& result) {
    bool ok = false;
    try {
        Prepare(text);
        ok = Dialogs().execDialog(*this) == QDialog::Accepted;
    } catch (...) {
        m_module.adsCategoryList.CancelBatch();
        throw;
    }
    if (!ok) {
        Finish(false);
        return false;
    }
    result = Text();
    // A list that cannot be written keeps the added names pending for the next write; the
    // record takes the chosen text all the same.
    Guarded([this]() { Finish(true); });
    return true;
}

bool TCategoryForm::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the text presses the default button instead of breaking the line.
    if (watched == ui->CategoryMemo && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            (ui->AddButton->isDefault() ? ui->AddButton : ui->OkButton)->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
