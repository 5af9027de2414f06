#include "gridtools/DBGridFilterDlg.h"

#include "common/DialogsUnit.h"
#include "platform/db/DataSet.h"
#include "platform/db/JetSql.h"
#include "ui_DBGridFilterDlg.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

constexpr int kFieldRole = Qt::UserRole;

TField* fieldFrom(const QVariant& v) {
    return reinterpret_cast<TField*>(v.value<quintptr>());
}

QVariant fieldData(TField* f) {
    return QVariant::fromValue(reinterpret_cast<quintptr>(f));
}

}  // namespace

TDBGridFilterForm::TDBGridFilterForm(QWidget* parent)
    : TExForm(parent), ui(std::make_unique<Ui::TDBGridFilterForm>()) {
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->ConnectComboBox->addItems({tr("или"), tr("и")});
    ui->ConnectComboBox->setCurrentIndex(-1);
    ui->QueryListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->QueryListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->QueryListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->QueryListView->installEventFilter(this);
    ui->StoredQueriesListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->StoredQueriesListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->StoredQueriesListView->installEventFilter(this);

    const auto guard = [this](void (TDBGridFilterForm::*h)()) {
        return [this, h]() { Guarded([this, h]() { (this->*h)(); }); };
    };
    connect(ui->FieldComboBox, &QComboBox::currentIndexChanged, this,
            guard(&TDBGridFilterForm::FieldComboBoxChange));
    connect(ui->ConditionComboBox, &QComboBox::currentIndexChanged, this,
            guard(&TDBGridFilterForm::ConditionComboBoxChange));
    connect(ui->ValueEdit, &QLineEdit::textChanged, this,
            guard(&TDBGridFilterForm::ValueEditChange));
    connect(ui->BooleanComboBox, &QComboBox::currentTextChanged, this,
            guard(&TDBGridFilterForm::BooleanComboBoxChange));
    connect(ui->ConnectComboBox, &QComboBox::currentIndexChanged, this,
            [this]() { m_justRemoved = false; });
    connect(ui->AddButton, &QPushButton::clicked, this, guard(&TDBGridFilterForm::AddButtonClick));
    connect(ui->RemoveButton, &QPushButton::clicked, this,
            guard(&TDBGridFilterForm::RemoveButtonClick));
    connect(ui->ClearButton, &QPushButton::clicked, this,
            guard(&TDBGridFilterForm::ClearButtonClick));
    connect(ui->QueryListView, &QTreeWidget::itemSelectionChanged, this, [this]() {
        ui->RemoveButton->setEnabled(!ui->QueryListView->selectedItems().isEmpty());
    });
    connect(ui->StoreQueryButton, &QPushButton::clicked, this,
            guard(&TDBGridFilterForm::StoreQueryButtonClick));
    connect(ui->LoadQueryButton, &QPushButton::clicked, this,
            guard(&TDBGridFilterForm::LoadQueryButtonClick));
    connect(ui->RenameQueryButton, &QPushButton::clicked, this,
            guard(&TDBGridFilterForm::RenameQueryButtonClick));
    connect(ui->RemoveQueryButton, &QPushButton::clicked, this,
            guard(&TDBGridFilterForm::RemoveQueryButtonClick));
    connect(ui->StoredQueriesListView->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this]() { m_editingName = false; });
    connect(ui->StoredQueriesListView, &QListWidget::itemChanged, this, [this](QListWidgetItem* i) {
        const int row = ui->StoredQueriesListView->row(i);
        Guarded([this, row, i]() { StoredQueriesListViewEdited(row, i->text()); });
    });
    connect(ui->PageControl, &QTabWidget::currentChanged, this, &TDBGridFilterForm::pageChanged);
    connect(ui->OkButton, &QPushButton::clicked, this, guard(&TDBGridFilterForm::OkButtonClick));
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TDBGridFilterForm::~TDBGridFilterForm() = default;

void TDBGridFilterForm::AddValueList(const QString& fieldName, const QString& items,
                                     bool freeList) {
    const QString key = fieldName.toLower();
    if (m_valueLists.contains(key)) {
        return;
    }
    m_valueLists.insert(key, {items.split(QStringLiteral("\r\n")), freeList});
}

const TDBGridFilterForm::TValueList* TDBGridFilterForm::valueListOf(const TField* field) const {
    if (!field) {
        return nullptr;
    }
    const auto it = m_valueLists.constFind(field->FieldName.toLower());
    return it == m_valueLists.constEnd() ? nullptr : &it.value();
}

// Only integer fields read a list as a coding; for others a list just offers choices.
TValueLists TDBGridFilterForm::templateLists() const {
    TValueLists lists;
    if (m_dataSet) {
        for (int i = 0; i < m_dataSet->FieldCount(); ++i) {
            const TField& f = m_dataSet->Fields(i);
            if (f.FieldClass() == TFieldClass::Integer) {
                if (const TValueList* l = valueListOf(&f)) {
                    lists.Add(f.FieldName, l->items);
                }
            }
        }
    }
    return lists;
}

TField* TDBGridFilterForm::chosenField() const {
    return ui->FieldComboBox->currentIndex() < 0 ? nullptr
                                                 : fieldFrom(ui->FieldComboBox->currentData());
}

QString TDBGridFilterForm::chosenTemplate() const {
    TField* f = chosenField();
    if (!f || ui->ConditionComboBox->currentIndex() < 0) {
        return QString();
    }
    return ConditionTemplate(ConditionTable(*f, templateLists()),
                             ui->ConditionComboBox->currentIndex());
}

int TDBGridFilterForm::RowCount() const {
    return ui->QueryListView->topLevelItemCount();
}

QStringList TDBGridFilterForm::RowTexts(int row) const {
    const QTreeWidgetItem* item = ui->QueryListView->topLevelItem(row);
    return item ? QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}
                : QStringList();
}

void TDBGridFilterForm::addRow(const QString& connector, TField* field, const QString& condition,
                               const QString& value) {
    // A group of conditions has no one field: it is shown, and written back, as it stands.
    const QString title = field ? field->Title() : tr("(группа условий)");
    auto* item = new QTreeWidgetItem(ui->QueryListView, {connector, title, condition, value});
    item->setToolTip(3, value);  // a long value or a whole group, read in full
    item->setData(0, kFieldRole, fieldData(field));
    QTreeWidget* list = ui->QueryListView;
    for (int c = 0; c < 3; ++c) {
        list->resizeColumnToContents(c);
    }
    const int rest = list->viewport()->width() - list->columnWidth(0) - list->columnWidth(1) -
                     list->columnWidth(2);
    list->setColumnWidth(3, std::max(rest, 60));
    list->setCurrentItem(item);
    item->setSelected(true);
    list->scrollToItem(item);
}

QString TDBGridFilterForm::GetFilterText() const {
    QString text;
    const TValueLists lists = templateLists();
    for (int r = 0; r < RowCount(); ++r) {
        const QTreeWidgetItem* item = ui->QueryListView->topLevelItem(r);
        TField* field = fieldFrom(item->data(0, kFieldRole));
        QString connector;
        if (item->text(0) == ui->ConnectComboBox->itemText(0)) {
            connector = QStringLiteral("OR ");
        } else if (item->text(0) == ui->ConnectComboBox->itemText(1)) {
            connector = QStringLiteral("AND ");
        }
        const QString table = field ? ConditionTable(*field, lists) : QString();
        const int line = ConditionCaptions(table).indexOf(item->text(2));
        QString condition;
        if (!field || line < 0) {
            // A condition that no template reads is kept as it was loaded, never dropped.
            condition = item->text(3);
        } else {
            condition = ExpandTemplate(ConditionTemplate(table, line), *field,
                                       JetQuotedBody(item->text(3)), lists);
        }
        text += QLatin1Char(' ') + connector + QLatin1Char('(') + condition + QLatin1Char(')');
    }
    while (text.startsWith(QLatin1Char(' '))) {
        text.remove(0, 1);
    }
    return text;
}

QString TDBGridFilterForm::connectorCaption(const QString& word) const {
    if (word == QLatin1String("OR")) {
        return ui->ConnectComboBox->itemText(0);
    }
    if (word == QLatin1String("AND")) {
        return ui->ConnectComboBox->itemText(1);
    }
    return QString();
}

void TDBGridFilterForm::SetFilterText(const QString& text) {
    ui->QueryListView->clear();
    const TValueLists lists = templateLists();
    for (const TFilterCondition& part : SplitFilterText(text)) {
        const QString& word = part.Connector;
        const QString& condition = part.Condition;
        const QString name = condition.section(QLatin1Char(' '), 0, 0);
        TField* field = m_dataSet ? m_dataSet->FindField(name) : nullptr;
        if (!field) {
            // A group such as "(A) OR (B)" that a quick filter narrowed: one row it cannot
            // split, never dropped.
            if (condition.trimmed().startsWith(QLatin1Char('('))) {
                addRow(connectorCaption(word), nullptr, QString(), condition);
            }
            continue;
        }
        const QString table = ConditionTable(*field, lists);
        const int line = FindTemplate(table, condition);
        QString caption;
        QString value = condition;
        if (line >= 0) {
            caption = ConditionCaptions(table).at(line);
            value = ValueFromCondition(ConditionTemplate(table, line), *field, condition, lists);
        }
        addRow(connectorCaption(word), field, caption, value);
    }
    if (RowCount() > 0) {
        ui->ConnectComboBox->setCurrentIndex(0);
        ui->ConnectComboBox->setEnabled(true);
    }
}

void TDBGridFilterForm::fillStoredList() {
    QListWidget* list = ui->StoredQueriesListView;
    const QSignalBlocker block(list);
    list->clear();
    for (const QString& entry : m_storedFilters) {
        auto* item = new QListWidgetItem(entry.section(QLatin1Char('='), 0, 0), list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
}

void TDBGridFilterForm::Prepare() {
    LoadValuesList(m_storedFilters, m_filtersKey);
    fillStoredList();
    if (!m_storedFilters.isEmpty()) {
        ui->StoredQueriesListView->setCurrentRow(0);
    }
    const QSignalBlocker block(ui->FieldComboBox);
    ui->FieldComboBox->clear();
    if (m_dataSet) {
        for (int i = 0; i < m_dataSet->FieldCount(); ++i) {
            TField& f = m_dataSet->Fields(i);
            if (!f.Visible || f.FieldKind != TFieldKind::Data) {
                continue;
            }
            ui->FieldComboBox->addItem(f.Title(), fieldData(&f));
            if (f.FieldClass() == TFieldClass::Boolean) {
                AddValueList(f.FieldName, tr("Нет") + QStringLiteral("\r\n") + tr("Да"), false);
            }
        }
    }
    ui->FieldComboBox->setCurrentIndex(-1);
    ui->FieldComboBox->setFocus();
}

bool TDBGridFilterForm::Execute() {
    Prepare();
    if (Dialogs().execDialog(*this) != QDialog::Accepted) {
        return false;
    }
    SaveValuesList(m_storedFilters, m_filtersKey);
    return true;
}

void TDBGridFilterForm::showValueList(bool show) {
    ui->BooleanComboBox->setVisible(show);
    ui->ValueEdit->setVisible(!show);
}

void TDBGridFilterForm::FieldComboBoxChange() {
    TField* field = chosenField();
    ui->ConditionComboBox->setEnabled(field != nullptr);
    {
        const QSignalBlocker block(ui->ConditionComboBox);
        ui->ConditionComboBox->clear();
    }
    const TValueList* list = valueListOf(field);
    showValueList(list != nullptr);
    ui->ValueEdit->clear();
    if (list) {
        const QSignalBlocker block(ui->BooleanComboBox);
        ui->BooleanComboBox->clear();
        ui->BooleanComboBox->addItems(list->items);
        ui->BooleanComboBox->setEditable(list->freeList);
        if (list->freeList) {
            ui->BooleanComboBox->setCurrentIndex(-1);
            ui->BooleanComboBox->setEditText(QString());
        } else {
            ui->BooleanComboBox->setCurrentIndex(0);
        }
    }
    if (field) {
        const QStringList captions = ConditionCaptions(ConditionTable(*field, templateLists()));
        ui->ConditionComboBox->addItems(captions);
        if (!captions.isEmpty()) {
            ui->ConditionComboBox->setCurrentIndex(0);
        } else {
            ui->AddButton->setEnabled(false);
            ui->ValueEdit->setEnabled(false);
            ui->BooleanComboBox->setEnabled(false);
        }
    }
    if (list && !list->freeList) {
        ui->ValueEdit->setText(ui->BooleanComboBox->currentText());
    }
    m_justRemoved = false;
}

void TDBGridFilterForm::ConditionComboBoxChange() {
    const QString tmpl = chosenTemplate();
    const bool shown = ui->ConditionComboBox->currentIndex() >= 0;
    const bool needsValue = tmpl.contains(QLatin1String("$v"));
    ui->ValueEdit->setEnabled(needsValue && shown);
    ui->BooleanComboBox->setEnabled(needsValue && shown);
    ui->AddButton->setEnabled(shown && (!needsValue || !ui->ValueEdit->text().isEmpty()));
    m_justRemoved = false;
}

void TDBGridFilterForm::ValueEditChange() {
    const QString text = ui->ValueEdit->text();
    ui->AddButton->setEnabled(!text.isEmpty() && ui->ConditionComboBox->currentIndex() >= 0);
    if (ui->BooleanComboBox->isVisibleTo(this)) {
        const QSignalBlocker block(ui->BooleanComboBox);
        if (ui->BooleanComboBox->isEditable()) {
            ui->BooleanComboBox->setEditText(text);
        } else {
            ui->BooleanComboBox->setCurrentIndex(
                ui->BooleanComboBox->findText(text, Qt::MatchFixedString));
        }
    }
    m_justRemoved = false;
}

void TDBGridFilterForm::BooleanComboBoxChange() {
    const QSignalBlocker block(ui->ValueEdit);
    ui->ValueEdit->setText(ui->BooleanComboBox->currentText());
    ui->AddButton->setEnabled(!ui->ValueEdit->text().isEmpty() &&
                              ui->ConditionComboBox->currentIndex() >= 0);
    m_justRemoved = false;
}

void TDBGridFilterForm::AddButtonClick() {
    TField* field = chosenField();
    if (!field || ui->ConditionComboBox->currentIndex() < 0) {
        return;
    }
    const QString value = ui->ValueEdit->isEnabled() ? ui->ValueEdit->text() : QString();
    const QString quoted = JetQuotedBody(value);
    try {
        ExpandTemplate(chosenTemplate(), *field, quoted, templateLists());
    } catch (...) {
        (ui->ValueEdit->isVisible() ? static_cast<QWidget*>(ui->ValueEdit)
                                    : static_cast<QWidget*>(ui->BooleanComboBox))
            ->setFocus();
        throw;
    }
    addRow(ui->ConnectComboBox->currentIndex() < 0 ? QString() : ui->ConnectComboBox->currentText(),
           field, ui->ConditionComboBox->currentText(), value);
    resetEditor();
    ui->ConnectComboBox->setCurrentIndex(0);
    ui->ConnectComboBox->setEnabled(true);
}

void TDBGridFilterForm::resetEditor() {
    {
        const QSignalBlocker a(ui->FieldComboBox);
        const QSignalBlocker b(ui->ConditionComboBox);
        const QSignalBlocker c(ui->ValueEdit);
        ui->FieldComboBox->setCurrentIndex(-1);
        ui->ConditionComboBox->clear();
        ui->ConditionComboBox->setEnabled(false);
        ui->ValueEdit->clear();
        ui->ValueEdit->setEnabled(false);
    }
    showValueList(false);
    ui->AddButton->setEnabled(false);
    ui->FieldComboBox->setFocus();
}

void TDBGridFilterForm::RemoveButtonClick() {
    QTreeWidgetItem* item = ui->QueryListView->currentItem();
    if (!item) {
        return;
    }
    const int i = ui->QueryListView->indexOfTopLevelItem(item);
    const QStringList texts = RowTexts(i);
    ui->ConnectComboBox->setCurrentIndex(ui->ConnectComboBox->findText(texts[0]));
    ui->FieldComboBox->setCurrentIndex(ui->FieldComboBox->findData(item->data(0, kFieldRole)));
    FieldComboBoxChange();
    ui->ConditionComboBox->setCurrentIndex(ui->ConditionComboBox->findText(texts[2]));
    ConditionComboBoxChange();
    ui->ValueEdit->setText(texts[3]);
    delete ui->QueryListView->takeTopLevelItem(i);
    if (RowCount() > 0) {
        if (i == 0) {
            ui->QueryListView->topLevelItem(0)->setText(0, QString());
            ui->ConnectComboBox->setCurrentIndex(0);
        }
        QTreeWidgetItem* next = ui->QueryListView->topLevelItem(std::max(i - 1, 0));
        ui->QueryListView->setCurrentItem(next);
        next->setSelected(true);
    } else {
        ui->ConnectComboBox->setCurrentIndex(-1);
        ui->ConnectComboBox->setEnabled(false);
    }
    m_justRemoved = true;
}

void TDBGridFilterForm::ClearButtonClick() {
    ui->QueryListView->clear();
    ui->ConnectComboBox->setCurrentIndex(-1);
    ui->ConnectComboBox->setEnabled(false);
    resetEditor();
}

bool TDBGridFilterForm::ConfirmPendingCriterion(bool pageSwitch) {
    if (!ui->AddButton->isEnabled() || m_justRemoved) {
        return true;
    }
    switch (ConfirmYesNoCancel(tr("Добавить введённый ниже критерий в фильтр?"), this)) {
        case QMessageBox::Yes:
            AddButtonClick();
            return true;
        case QMessageBox::No:
            if (pageSwitch) {
                const QSignalBlocker b(ui->ConditionComboBox);
                ui->ConditionComboBox->setCurrentIndex(-1);
                ui->ConditionComboBox->setEnabled(false);
                ui->ValueEdit->clear();
                ui->ValueEdit->setEnabled(false);
                ui->BooleanComboBox->setEnabled(false);
                ui->AddButton->setEnabled(false);
            }
            return true;
        default:
            return false;
    }
}

void TDBGridFilterForm::OkButtonClick() {
    if (ConfirmPendingCriterion(false)) {
        accept();
    }
}

void TDBGridFilterForm::pageChanged(int index) {
    if (m_switching) {
        return;
    }
    if (m_page == 0 && index != 0) {
        bool stay = false;
        Guarded([this, &stay]() { stay = !ConfirmPendingCriterion(true); });
        if (stay) {
            m_switching = true;
            ui->PageControl->setCurrentIndex(0);
            m_switching = false;
            return;
        }
    }
    m_page = index;
    if (index == 0) {
        ui->FieldComboBox->setFocus();
    } else {
        ui->StoredQueriesListView->setFocus();
    }
}

namespace {
// A saved filter is stored as name=text: a name holding "=" would be read back split into a
// wrong name and a broken filter.
bool refusedFilterName(const QString& name, QWidget* parent) {
    if (!name.contains(QLatin1Char('='))) {
        return false;
    }
    ShowError(QCoreApplication::translate("TDBGridFilterForm",
                                          "Название фильтра не может содержать знак \"=\"."),
              parent);
    return true;
}
}  // namespace

bool AskNewFilterName(QWidget* parent, const TValuesList& saved, QString& name) {
    while (true) {
        if (!Dialogs().inputQuery(
                parent, QCoreApplication::translate("TDBGridFilterForm", "Название фильтра"),
                QCoreApplication::translate("TDBGridFilterForm", "Введите название фильтра:"),
                name)) {
            return false;
        }
        name = name.trimmed();
        if (refusedFilterName(name, parent)) {
            continue;
        }
        bool taken = name.isEmpty();
        for (const QString& entry : saved) {
            taken = taken ||
                    entry.section(QLatin1Char('='), 0, 0).compare(name, Qt::CaseInsensitive) == 0;
        }
        if (!taken) {
            return true;
        }
        ShowError(QCoreApplication::translate("TDBGridFilterForm",
                                              "Фильтр с таким именем уже существует."),
                  parent);
    }
}

void TDBGridFilterForm::StoreQueryButtonClick() {
    QString name;
    if (!AskNewFilterName(this, m_storedFilters, name)) {
        return;
    }
    m_storedFilters << name + QLatin1Char('=') + GetFilterText();
    fillStoredList();
    QListWidget* list = ui->StoredQueriesListView;
    list->clearSelection();
    list->setCurrentRow(list->count() - 1);
    list->currentItem()->setSelected(true);
}

void TDBGridFilterForm::LoadQueryButtonClick() {
    const int row = ui->StoredQueriesListView->currentRow();
    if (row < 0 || row >= m_storedFilters.size()) {
        return;
    }
    const QString& entry = m_storedFilters[row];
    SetFilterText(entry.mid(entry.indexOf(QLatin1Char('=')) + 1));
    ui->PageControl->setCurrentIndex(0);
}

void TDBGridFilterForm::RenameQueryButtonClick() {
    QListWidgetItem* item = ui->StoredQueriesListView->currentItem();
    if (item) {
        m_editingName = true;
        ui->StoredQueriesListView->editItem(item);
    }
}

void TDBGridFilterForm::StoredQueriesListViewEdited(int row, const QString& newName) {
    m_editingName = false;
    if (row < 0 || row >= m_storedFilters.size()) {
        return;
    }
    const QString name = newName.trimmed();
    bool taken = name.isEmpty() || refusedFilterName(name, this);
    for (const QString& entry : m_storedFilters) {
        taken =
            taken || entry.section(QLatin1Char('='), 0, 0).compare(name, Qt::CaseInsensitive) == 0;
    }
    QString& entry = m_storedFilters[row];
    if (!taken) {
        entry = name + QLatin1Char('=') + entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
    }
    // Shown as stored: a refused name goes back to the old one (a taken one without a
    // message).
    QListWidgetItem* item = ui->StoredQueriesListView->item(row);
    const QSignalBlocker block(ui->StoredQueriesListView);
    item->setText(entry.section(QLatin1Char('='), 0, 0));
}

void TDBGridFilterForm::RemoveQueryButtonClick() {
    QListWidget* list = ui->StoredQueriesListView;
    QList<int> rows;
    for (const QListWidgetItem* item : list->selectedItems()) {
        rows << list->row(item);
    }
    if (rows.isEmpty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    const int next = rows.last() + 1 - rows.size();
    for (int i = rows.size() - 1; i >= 0; --i) {
        m_storedFilters.removeAt(rows[i]);
    }
    fillStoredList();
    if (list->count() > 0) {
        list->setCurrentRow(std::min(next, list->count() - 1));
        list->currentItem()->setSelected(true);
    }
    ui->RemoveQueryButton->setFocus();
}

void TDBGridFilterForm::IdleUpdate() {
    const bool editing = m_editingName;
    ui->AddButton->setDefault(ui->AddButton->isEnabled() && !editing);
    ui->OkButton->setDefault(!editing && !ui->AddButton->isEnabled());
    ui->CancelButton->setShortcut(editing ? QKeySequence() : QKeySequence(Qt::Key_Escape));
    ui->StoreQueryButton->setEnabled(RowCount() > 0);
    const bool focused = ui->StoredQueriesListView->currentItem() != nullptr;
    ui->LoadQueryButton->setEnabled(focused);
    ui->RenameQueryButton->setEnabled(focused);
    ui->RemoveQueryButton->setEnabled(!ui->StoredQueriesListView->selectedItems().isEmpty());
}

bool TDBGridFilterForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == ui->QueryListView && key->key() == Qt::Key_Delete &&
            key->modifiers() == Qt::NoModifier && ui->RemoveButton->isEnabled()) {
            Guarded([this]() { RemoveButtonClick(); });
            return true;
        }
        if (watched == ui->StoredQueriesListView) {
            if (key->key() == Qt::Key_Delete && !m_editingName) {
                Guarded([this]() { RemoveQueryButtonClick(); });
                return true;
            }
            if (key->key() == Qt::Key_A && key->modifiers() == Qt::ControlModifier) {
                ui->StoredQueriesListView->selectAll();
                return true;
            }
        }
    }
    return TExForm::eventFilter(watched, event);
}
