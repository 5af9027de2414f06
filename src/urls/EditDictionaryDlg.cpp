#include "urls/EditDictionaryDlg.h"

#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "ui_EditDictionaryDlg.h"

#include <QKeyEvent>

namespace {
constexpr int kBookmarkRole = Qt::UserRole;
constexpr int kOldTextRole = Qt::UserRole + 1;
// How many records a refusal names before it only counts the rest.
constexpr int kNamedRecords = 20;

QString characterName(QChar c) {
    const QString code = QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    switch (c.unicode()) {
        case u';':
            return QStringLiteral("«;»");
        case u'\n':
            return TEditDictionaryForm::tr("перевод строки (%1)").arg(code);
        case u'\r':
            return TEditDictionaryForm::tr("возврат каретки (%1)").arg(code);
        case 0x2028:
            return TEditDictionaryForm::tr("разделитель строк (%1)").arg(code);
        case 0x2029:
            return TEditDictionaryForm::tr("разделитель абзацев (%1)").arg(code);
        default:
            return TEditDictionaryForm::tr("управляющий символ (%1)").arg(code);
    }
}
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
    connect(ui->OkButton, &QPushButton::clicked, this, [this]() {
        Guarded([this]() {
            if (ConfirmRecordChanges()) {
                accept();
            }
        });
    });
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
    if (m_records) {
        const THourglass hourglass;
        OfferUsedCategories(dataSet, *m_records);
    }
    const TField& field = dataSet.FieldByName(fieldName);
    dataSet.First();
    while (!dataSet.Eof()) {
        addItem(field.AsString(), dataSet.GetBookmark());
        dataSet.Next();
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
        m_changes.clear();
        m_leftOut.clear();
        return;
    }
    try {
        // The list and the records that follow it change together or not at all.
        TTransaction transaction(*m_dataSet->Connection());
        m_dataSet->UpdateBatch();
        if (m_records) {
            m_records->Apply(m_changes, m_leftOut);
        }
        transaction.Commit();
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
        ok = Dialogs().execDialog(*this) == QDialog::Accepted;
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

QString TEditDictionaryForm::NameProblem(const QString& name) const {
    // The records keep their names in one text separated by ";" and line breaks: a name
    // holding one would become two there, and the list and the records drift apart.
    for (const QChar c : name) {
        if (c == u';' || c == QChar(0x2028) || c == QChar(0x2029) ||
            c.category() == QChar::Other_Control) {
            return tr("Название «%1» содержит %2: в записях оно стало бы несколькими "
                      "названиями.")
                .arg(name, characterName(c));
        }
    }
    const int size = m_dataSet ? m_dataSet->FieldByName(m_fieldName).Size : 0;
    if (size > 0 && name.size() > size) {
        return tr("Название длиной %1 символов не помещается: поле вмещает не более %2.")
            .arg(name.size())
            .arg(size);
    }
    return QString();
}

void TEditDictionaryForm::AddButtonClick() {
    const QString text = ui->NewEdit->text().trimmed();
    if (const QString problem = NameProblem(text); !problem.isEmpty()) {
        ShowError(problem, this);  // the text stays for the user to mend
        return;
    }
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

void TEditDictionaryForm::restoreText(QListWidgetItem* item) {
    const QSignalBlocker block(ui->ItemsListView);
    item->setText(item->data(kOldTextRole).toString());
}

void TEditDictionaryForm::ItemsListViewEdited(QListWidgetItem* item, const QString& newText) {
    m_editing = false;
    const QString old = item->data(kOldTextRole).toString();
    const QString text = newText.trimmed();
    const int other = Find(text);
    QListWidgetItem* const existing = other >= 0 ? ui->ItemsListView->item(other) : nullptr;
    if (text.isEmpty() || (existing && existing != item && !m_records)) {
        restoreText(item);
        return;
    }
    if (const QString problem = NameProblem(text); !problem.isEmpty()) {
        restoreText(item);
        ShowError(problem, this);
        return;
    }
    if (existing && existing != item) {
        if (!mergeInto(item, existing)) {
            restoreText(item);
        }
        return;
    }
    if (m_records && text != old) {
        const int used = m_records->RecordsUsing(old, m_changes);
        if (used > 0 &&
            !ConfirmYesNo(tr("Переименовать категорию «%1» в «%2»? Изменится записей: %3.")
                              .arg(old, text)
                              .arg(used),
                          this)) {
            restoreText(item);
            return;
        }
    }
    const QSignalBlocker block(ui->ItemsListView);
    m_dataSet->GotoBookmark(item->data(kBookmarkRole).toLongLong());
    m_dataSet->Edit();
    m_dataSet->FieldByName(m_fieldName).SetValue(text);
    m_dataSet->Post();
    if (m_records && text != old) {
        m_changes.append({old, text});
    }
    item->setText(text);
    item->setData(kOldTextRole, text);
}

// A name renamed to another one of the list joins it: its row goes, and the records that
// carry it carry the other name instead, once.
bool TEditDictionaryForm::mergeInto(QListWidgetItem* item, QListWidgetItem* into) {
    const QString from = item->data(kOldTextRole).toString();
    const QString to = into->text();
    const int used = m_records->RecordsUsing(from, m_changes);
    if (!ConfirmYesNo(tr("Объединить категорию «%1» с категорией «%2»? Изменится записей: %3.")
                          .arg(from, to)
                          .arg(used),
                      this)) {
        return false;
    }
    m_dataSet->GotoBookmark(item->data(kBookmarkRole).toLongLong());
    m_dataSet->Delete();
    m_changes.append({from, to});
    {
        const QSignalBlocker block(ui->ItemsListView);
        delete ui->ItemsListView->takeItem(ui->ItemsListView->row(item));
    }
    ui->ItemsListView->clearSelection();
    ui->ItemsListView->setCurrentItem(into);
    into->setSelected(true);
    return true;
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
        bool fromRecords = false;
        if (m_records) {
            const QString name = item->text();
            const int used = m_records->RecordsUsing(name, m_changes);
            if (used > 0) {
                const QMessageBox::StandardButton answer = ConfirmYesNoCancel(
                    tr("Категория «%1» есть в записях: %2. Убрать её и из этих записей?")
                        .arg(name)
                        .arg(used),
                    this);
                if (answer == QMessageBox::Cancel) {
                    break;
                }
                fromRecords = answer == QMessageBox::Yes;
            }
        }
        try {
            m_dataSet->GotoBookmark(item->data(kBookmarkRole).toLongLong());
            m_dataSet->Delete();
            if (fromRecords) {
                m_changes.append({item->text(), QString()});
            }
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

bool TEditDictionaryForm::ConfirmRecordChanges() {
    m_leftOut.clear();
    if (!m_records || m_changes.isEmpty()) {
        return true;
    }
    QVector<TCategoryRefusal> refused;
    {
        const THourglass hourglass;
        refused = m_records->Refusals(m_changes);
    }
    if (refused.isEmpty()) {
        return true;
    }
    QStringList lines;
    for (const TCategoryRefusal& r : refused) {
        if (lines.size() == kNamedRecords) {
            lines << tr("и ещё записей: %1").arg(refused.size() - kNamedRecords);
            break;
        }
        lines << tr("«%1»: с заменой «%2» категории стали бы длиной %3 символов")
                     .arg(r.url, r.from)
                     .arg(r.length);
    }
    const QString question =
        tr("Эти записи не могут принять переименование: поле категорий вмещает не более %1 "
           "символов.\n%2\n\nПродолжить без них? Они сохранят прежние названия. «Нет» "
           "вернёт в список со всеми изменениями.")
            .arg(m_records->FieldSize())
            .arg(lines.join(QLatin1Char('\n')));
    if (!ConfirmYesNo(question, this, QMessageBox::No)) {
        return false;
    }
    for (const TCategoryRefusal& r : refused) {
        m_leftOut.insert(r.key);
    }
    return true;
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
