#include "urls/EditURLDlg.h"

#include "common/CatalogueModule.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/TextUnit.h"
#include "platform/db/DataSet.h"
#include "platform/db/FieldTypes.h"
#include "platform/db/NullBlankFields.h"
#include "ui_EditURLDlg.h"
#include "urls/Categories.h"
#include "urls/CategoryDlg.h"
#include "urls/Duplicates.h"

#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QUuid>

TEditURLForm::TEditURLForm(TCatalogueModule& module, QWidget* parent)
    : TCommonForm(module, parent), ui(std::make_unique<Ui::TEditURLForm>()) {
    ui->setupUi(this);
    BindButtons(ui->OkButton, ui->CancelButton);
    ui->GoSpeedButton->setIcon(QIcon::fromTheme(QStringLiteral("internet-web-browser"),
                                                style()->standardIcon(QStyle::SP_ArrowRight)));
    DataSet().SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs WHERE SubjectURLID = :ID"));
    DataSet().Parameters().ParamByName(QStringLiteral("ID")).DataType = TFieldType::Guid;
    DataSet().BeforePost = [](TDataSet& ds) { NullBlankFields(ds); };
    connect(ui->URLDBEdit, &QLineEdit::textChanged, this, &TEditURLForm::URLDBEditChange);
    connect(ui->GoSpeedButton, &QToolButton::clicked, this,
            GuardedSlot(this, &TEditURLForm::GoSpeedButtonClick));
    connect(ui->CategoryButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TEditURLForm::CategoryButtonClick));
    ui->URLDBEdit->installEventFilter(this);
    URLDBEditChange();
}

TEditURLForm::~TEditURLForm() = default;

void TEditURLForm::OpenRecord(const QVariant& key) {
    DataSet().Parameters().ParamByName(QStringLiteral("ID")).SetValue(key);
    DataSet().Open();
    if (!key.isValid() || key.isNull()) {
        DataSet().Append();
        DataSet()
            .FieldByName(QStringLiteral("SubjectURLID"))
            .SetValue(QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
    }
    SetRecordKey(DataSet().FieldByName(QStringLiteral("SubjectURLID")).Value());
    // A new record has nothing read that another user could have changed.
    m_read = DataSet().State() == TDataSetState::Insert ? QVariantList() : readValues();
    loadControls();
    // The catalogue's own sizes: 2,048 for addresses in new catalogues, 150 in older ones.
    LimitToField(ui->URLDBEdit, DataSet().FieldByName(QStringLiteral("URL")), tr("URL"));
    LimitToField(ui->DescriptionDBMemo, DataSet().FieldByName(QStringLiteral("Description")),
                 tr("Описание"));
    LimitToField(ui->CategoryDBEdit, DataSet().FieldByName(QStringLiteral("Category")),
                 tr("Категории"));
    if (DataSet().State() == TDataSetState::Insert && !m_captured.URL.isEmpty()) {
        ui->URLDBEdit->setText(m_captured.URL);
        ui->DescriptionDBMemo->setPlainText(m_captured.DescriptionText());
        ui->CategoryDBEdit->setText(m_captured.Category);
    }
    URLDBEditChange();
}

void TEditURLForm::loadControls() {
    ui->URLDBEdit->setText(DataSet().FieldByName(QStringLiteral("URL")).AsString());
    ui->DescriptionDBMemo->setPlainText(
        ShownLineBreaks(DataSet().FieldByName(QStringLiteral("Description")).AsString()));
    ui->CategoryDBEdit->setText(DataSet().FieldByName(QStringLiteral("Category")).AsString());
}

void TEditURLForm::UpdateRecord() {
    if (DataSet().State() != TDataSetState::Edit && DataSet().State() != TDataSetState::Insert) {
        return;
    }
    // Only what changed is set, so an untouched record counts as unmodified.
    const auto hand = [this](const char* name, const QString& text) {
        TField& f = DataSet().FieldByName(QLatin1String(name));
        if (f.AsString() != text) {
            f.SetValue(text);
        }
    };
    hand("URL", TrimmedFieldText(ui->URLDBEdit->text()));
    // Line breaks are stored as CR LF, which the report turns into line breaks of its own.
    hand("Description", StoredLineBreaks(ui->DescriptionDBMemo->toPlainText()));
    hand("Category", TrimmedFieldText(ui->CategoryDBEdit->text()));
}

void TEditURLForm::PostRecord() {
    // A new record whose address the catalogue holds already (by the rules the duplicate
    // search starts with): the user may open the record there is instead.
    if (DataSet().State() == TDataSetState::Insert) {
        const QString address = TrimmedFieldText(ui->URLDBEdit->text());
        const QVector<TDuplicateRecord> held =
            TDuplicates(m_module.ADOConnection).Holding(address, TAddressRules(), RecordKey());
        if (!held.isEmpty()) {
            QStringList lines;
            for (int i = 0; i < held.size() && i < 5; ++i) {
                lines << (held[i].description.isEmpty()
                              ? held[i].url
                              : tr("%1 — %2").arg(held[i].url, held[i].description));
            }
            if (held.size() > 5) {
                lines << tr("…и ещё %1").arg(held.size() - 5);
            }
            switch (ConfirmYesNoCancel(
                tr("Адрес %1 уже есть в каталоге:\n%2\n\nОткрыть существующую запись вместо "
                   "новой?\n«Да» — открыть её, «Нет» — сохранить новую запись, «Отмена» — "
                   "вернуться к записи.")
                    .arg(address, lines.join(QLatin1Char('\n'))),
                this)) {
                case QMessageBox::Yes:
                    m_openInstead = held.first().key;
                    reject();
                    Abort();
                case QMessageBox::No:
                    break;
                default:
                    Abort();
            }
        }
    }
    TCommonForm::PostRecord();
}

// The record's categories join the shared list in the transaction that stores the record,
// where the user may change that list; otherwise the record keeps them all the same.
void TEditURLForm::ApplyUpdates() {
    TCommonForm::ApplyUpdates();
    if (!m_module.CategoriesReadOnly.isEmpty()) {
        return;
    }
    AddMissingCategories(
        m_module.adsCategoryList,
        SplitCategoryNames(DataSet().FieldByName(QStringLiteral("Category")).AsString()));
}

QVariantList TEditURLForm::readValues() const {
    QVariantList values;
    for (int i = 0; i < DataSet().FieldCount(); ++i) {
        values << DataSet().Fields(i).Value();
    }
    return values;
}

bool TEditURLForm::textsTyped() {
    if (DataSet().State() != TDataSetState::Edit && DataSet().State() != TDataSetState::Insert) {
        return false;
    }
    const auto differs = [this](const char* name, const QString& text) {
        return DataSet().FieldByName(QLatin1String(name)).AsString() != text;
    };
    return differs("URL", TrimmedFieldText(ui->URLDBEdit->text())) ||
           differs("Description", StoredLineBreaks(ui->DescriptionDBMemo->toPlainText())) ||
           differs("Category", TrimmedFieldText(ui->CategoryDBEdit->text()));
}

// Cancel closes the record at once when nothing was typed (the visited mark alone is no
// text); what the user typed, or was refused by the catalogue, or kept beside the fields
// from before a reading again, is never dropped unasked.
bool TEditURLForm::CloseQuery() {
    if (DataSet().UpdatesPending() || textsTyped()) {
        return TCommonForm::CloseQuery();
    }
    const bool kept = !ui->URLYoursLabel->isHidden() || !ui->DescriptionYoursLabel->isHidden() ||
                      !ui->CategoryYoursLabel->isHidden();
    return !kept || ConfirmYesNo(tr("Закрыть запись? Ваш текст, показанный под полями, не будет "
                                    "сохранён."),
                                 this, QMessageBox::No);
}

bool TEditURLForm::ResolveConflict() {
    if (m_read.isEmpty()) {
        return false;
    }
    TDataSet now;
    now.SetConnection(&m_module.ADOConnection);
    now.SetCommandText(DataSet().CommandText());
    now.Parameters().ParamByName(QStringLiteral("ID")).DataType = TFieldType::Guid;
    now.Parameters().ParamByName(QStringLiteral("ID")).SetValue(RecordKey());
    now.Open();
    if (now.IsEmpty()) {
        if (ConfirmYesNo(tr("Эту запись удалил другой пользователь, пока вы её правили.\n"
                            "«Да» — сохранить ваш текст как новую запись, «Нет» — продолжить "
                            "правку."),
                         this)) {
            saveAsNew();
        }
        return true;
    }
    bool changed = false;
    for (int i = 0; i < now.FieldCount() && i < m_read.size(); ++i) {
        changed = changed || !SameValue(now.Fields(i).Value(), m_read[i]);
    }
    if (!changed) {
        return false;  // the record is as it was read: the error is about something else
    }
    if (ConfirmYesNo(tr("Эту запись изменил другой пользователь, пока вы её правили.\n"
                        "«Да» — показать его версию, а ваш текст оставить под каждым полем, где "
                        "он другой; «Нет» — продолжить правку."),
                     this)) {
        reloadKeepingTyped();
    }
    return true;
}

void TEditURLForm::reloadKeepingTyped() {
    const QString url = ui->URLDBEdit->text();
    const QString description = ui->DescriptionDBMemo->toPlainText();
    const QString category = ui->CategoryDBEdit->text();
    // Only the user's own changes are kept beside: a text as it was read is no one's.
    const auto typed = [this](const char* name, const QString& stored) {
        const int at = DataSet().FieldByName(QLatin1String(name)).Index();
        return m_read.value(at).toString() != stored;
    };
    const bool urlTyped = typed("URL", TrimmedFieldText(url));
    const bool descriptionTyped = typed("Description", StoredLineBreaks(description));
    const bool categoryTyped = typed("Category", TrimmedFieldText(category));
    const TField& visited = DataSet().FieldByName(QStringLiteral("Visited"));
    const bool marked = visited.AsBoolean() && !m_read.value(visited.Index()).toBool();
    DataSet().CancelBatch();
    DataSet().Close();
    DataSet().Open();
    if (DataSet().IsEmpty()) {
        // Deleted as well, since: the user's text stays in the fields, for a new record.
        DataSet().Append();
        DataSet().FieldByName(QStringLiteral("SubjectURLID")).SetValue(RecordKey());
        ShowInformation(tr("Запись была удалена."), this);
        return;
    }
    m_read = readValues();
    StartEdit();
    loadControls();
    // Opened in the browser here: the mark stays the user's.
    TField& mark = DataSet().FieldByName(QStringLiteral("Visited"));
    if (marked && !mark.AsBoolean()) {
        mark.SetValue(true);
    }
    const auto keep = [this](QLabel* label, bool mine, const QString& text, const QString& theirs) {
        label->setText(tr("Ваш текст: %1").arg(text));
        label->setVisible(mine && text.trimmed() != theirs.trimmed());
    };
    keep(ui->URLYoursLabel, urlTyped, url, ui->URLDBEdit->text());
    keep(ui->DescriptionYoursLabel, descriptionTyped, description,
         ui->DescriptionDBMemo->toPlainText());
    keep(ui->CategoryYoursLabel, categoryTyped, category, ui->CategoryDBEdit->text());
}

void TEditURLForm::saveAsNew() {
    UpdateRecord();
    // The link checks went with the old record: the new one starts without any.
    QVector<std::pair<QString, QVariant>> values;
    for (const char* name :
         {"SubjectURLID", "SubjectID", "URL", "Description", "Category", "Visited"}) {
        values.append({QLatin1String(name), DataSet().FieldByName(QLatin1String(name)).Value()});
    }
    DataSet().CancelBatch();
    DataSet().Close();
    DataSet().Open();
    DataSet().Append();
    for (const auto& v : values) {
        if (!v.second.isNull()) {
            DataSet().FieldByName(v.first).SetValue(v.second);
        }
    }
    OkButtonClick();
}

void TEditURLForm::URLDBEditChange() {
    const bool address = !ui->URLDBEdit->text().trimmed().isEmpty();
    ui->OkButton->setEnabled(address);
    ui->GoSpeedButton->setEnabled(address);
}

void TEditURLForm::GoSpeedButtonClick() {
    if (!ui->GoSpeedButton->isEnabled()) {
        return;
    }
    // Marked only once the browser has it.
    OpenURLOrThrow(ui->URLDBEdit->text());
    TField& visited = DataSet().FieldByName(QStringLiteral("Visited"));
    if (!visited.AsBoolean()) {
        DataSet().Edit();
        visited.SetValue(true);
    }
}

void TEditURLForm::CategoryButtonClick() {
    QString result;
    TCategoryForm form(m_module, this);
    form.SetRecordAddress(TrimmedFieldText(ui->URLDBEdit->text()));
    if (form.Run(ui->CategoryDBEdit->text(), result)) {
        ui->CategoryDBEdit->setText(result);
    }
}

bool TEditURLForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->URLDBEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Right && key->modifiers() == Qt::AltModifier) {
            Guarded([this]() { GoSpeedButtonClick(); });
            return true;
        }
    }
    return TCommonForm::eventFilter(watched, event);
}
