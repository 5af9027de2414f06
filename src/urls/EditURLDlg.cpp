#include "urls/EditURLDlg.h"

#include "common/CatalogueModule.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/TextUnit.h"
#include "platform/db/DataSet.h"
#include "platform/db/NullBlankFields.h"
#include "ui_EditURLDlg.h"
#include "urls/Categories.h"
#include "urls/CategoryDlg.h"
#include "urls/Duplicates.h"

#include <QKeyEvent>
#include <QStyle>
#include <QUuid>

TEditURLForm::TEditURLForm(TCatalogueModule& module, QWidget* parent)
    : TCommonForm(module, parent), ui(std::make_unique<Ui::TEditURLForm>()) {
    ui->setupUi(this);
    BindButtons(ui->OkButton, ui->CancelButton);
    ui->GoSpeedButton->setIcon(QIcon::fromTheme(QStringLiteral("internet-web-browser"),
                                                style()->standardIcon(QStyle::SP_ArrowRight)));
    adsCommon->SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs WHERE SubjectURLID = :ID"));
    adsCommon->Parameters().ParamByName(QStringLiteral("ID")).DataType = TFieldType::Guid;
    adsCommon->BeforePost = [](TDataSet& ds) { NullBlankFields(ds); };
    connect(ui->URLDBEdit, &QLineEdit::textChanged, this, &TEditURLForm::URLDBEditChange);
    connect(ui->GoSpeedButton, &QToolButton::clicked, this,
            GuardedSlot(this, &TEditURLForm::GoSpeedButtonClick));
    connect(ui->CategoryButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TEditURLForm::CategoryButtonClick));
    ui->URLDBEdit->installEventFilter(this);
    RunCategoryDialog = [this](const QString& text, QString& result) {
        TCategoryForm form(m_module, this);
        form.SetRecordAddress(TrimmedFieldText(ui->URLDBEdit->text()));
        return form.Run(text, result);
    };
    URLDBEditChange();
}

TEditURLForm::~TEditURLForm() = default;

void TEditURLForm::OpenRecord(const QVariant& key) {
    adsCommon->Parameters().ParamByName(QStringLiteral("ID")).SetValue(key);
    adsCommon->Open();
    if (!key.isValid() || key.isNull()) {
        adsCommon->Append();
        adsCommon->FieldByName(QStringLiteral("SubjectURLID"))
            .SetValue(QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
    }
    RecordKey = adsCommon->FieldByName(QStringLiteral("SubjectURLID")).Value();
    loadControls();
    // The catalogue's own sizes: 2,048 for addresses in new catalogues, 150 in older ones.
    LimitToField(ui->URLDBEdit, adsCommon->FieldByName(QStringLiteral("URL")), tr("URL"));
    LimitToField(ui->DescriptionDBMemo, adsCommon->FieldByName(QStringLiteral("Description")),
                 tr("Описание"));
    LimitToField(ui->CategoryDBEdit, adsCommon->FieldByName(QStringLiteral("Category")),
                 tr("Категории"));
    URLDBEditChange();
}

void TEditURLForm::loadControls() {
    ui->URLDBEdit->setText(adsCommon->FieldByName(QStringLiteral("URL")).AsString());
    ui->DescriptionDBMemo->setPlainText(
        ShownLineBreaks(adsCommon->FieldByName(QStringLiteral("Description")).AsString()));
    ui->CategoryDBEdit->setText(adsCommon->FieldByName(QStringLiteral("Category")).AsString());
}

void TEditURLForm::UpdateRecord() {
    if (adsCommon->State() != TDataSetState::Edit && adsCommon->State() != TDataSetState::Insert) {
        return;
    }
    // Only what changed is set, so an untouched record counts as unmodified.
    const auto hand = [this](const char* name, const QString& text) {
        TField& f = adsCommon->FieldByName(QLatin1String(name));
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
    if (adsCommon->State() == TDataSetState::Insert) {
        const QString address = TrimmedFieldText(ui->URLDBEdit->text());
        const QVector<TDuplicateRecord> held =
            TDuplicates(m_module.ADOConnection).Holding(address, TAddressRules(), RecordKey);
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
                    OpenInstead = held.first().key;
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
        SplitCategoryNames(adsCommon->FieldByName(QStringLiteral("Category")).AsString()));
}

// Cancel closes the record at once, unless what the user typed was refused by the
// catalogue (another user changed the record meanwhile): that is not dropped unasked.
bool TEditURLForm::CloseQuery() {
    return !adsCommon->UpdatesPending() || TCommonForm::CloseQuery();
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
    TField& visited = adsCommon->FieldByName(QStringLiteral("Visited"));
    if (!visited.AsBoolean()) {
        adsCommon->Edit();
        visited.SetValue(true);
    }
}

void TEditURLForm::CategoryButtonClick() {
    QString result;
    if (RunCategoryDialog && RunCategoryDialog(ui->CategoryDBEdit->text(), result)) {
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
