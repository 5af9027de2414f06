#include "views/CommonDlg.h"

#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/Field.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

QString StoredLineBreaks(const QString& text) {
    QString shown = ShownLineBreaks(text);
    return shown.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

QString ShownLineBreaks(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

namespace {

QString limitMessage(const QString& caption, int limit) {
    return QCoreApplication::translate("TCommonForm",
                                       "Поле \"%1\" вмещает не более %2 символов. Текст длиннее "
                                       "не принят; сократите его.")
        .arg(caption)
        .arg(limit);
}

QString limitHint(int limit) {
    return QCoreApplication::translate("TCommonForm", "Не более %1 символов").arg(limit);
}

// The object that carries a control's limit connection: a new limit replaces the old one.
QObject* freshGuard(QWidget* control) {
    delete control->findChild<QObject*>(QStringLiteral("LengthGuard"), Qt::FindDirectChildrenOnly);
    auto* guard = new QObject(control);
    guard->setObjectName(QStringLiteral("LengthGuard"));
    return guard;
}

}  // namespace

void TCommonForm::LimitToField(QLineEdit* edit, const TField& field, const QString& caption) {
    const int limit = field.Size;
    edit->setMaxLength(32767);  // never the control's own silent cut
    if (limit <= 0) {
        return;
    }
    edit->setToolTip(limitHint(limit));
    edit->setProperty("lastAccepted", edit->text());
    connect(edit, &QLineEdit::textChanged, freshGuard(edit),
            [this, edit, limit, caption](const QString& t) {
                if (t.size() <= limit) {
                    edit->setProperty("lastAccepted", t);
                    return;
                }
                const int cursor = edit->cursorPosition();
                edit->setText(edit->property("lastAccepted").toString());
                edit->setCursorPosition(qMin(cursor, edit->text().size()));
                ShowError(limitMessage(caption, limit), this);
            });
}

void TCommonForm::LimitToField(QPlainTextEdit* memo, const TField& field, const QString& caption) {
    const int limit = field.Size;
    if (limit <= 0) {
        return;
    }
    memo->setToolTip(limitHint(limit));
    memo->setProperty("lastAccepted", memo->toPlainText());
    connect(memo, &QPlainTextEdit::textChanged, freshGuard(memo), [this, memo, limit, caption]() {
        const QString t = memo->toPlainText();
        if (StoredLineBreaks(t).size() <= limit) {
            memo->setProperty("lastAccepted", t);
            return;
        }
        {
            const QSignalBlocker block(memo);
            memo->setPlainText(memo->property("lastAccepted").toString());
            memo->moveCursor(QTextCursor::End);
        }
        ShowError(limitMessage(caption, limit), this);
    });
}

TCommonForm::TCommonForm(TCatalogueModule& module, QWidget* parent)
    : TExForm(parent), m_module(module), m_dataSet(new TDataSet(this)) {
    m_dataSet->setObjectName(QStringLiteral("adsCommon"));
    m_dataSet->SetConnection(&module.ADOConnection);
    m_dataSet->SetLockType(TLockType::BatchOptimistic);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

TCommonForm::~TCommonForm() = default;

void TCommonForm::BindButtons(QPushButton* ok, QPushButton* cancel) {
    m_ok = ok;
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, GuardedSlot(this, &TCommonForm::OkButtonClick));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TCommonForm::OpenRecord(const QVariant&) {}

void TCommonForm::StartEdit() {
    if (m_dataSet->CanModify() && m_dataSet->State() == TDataSetState::Browse &&
        !m_dataSet->IsEmpty()) {
        m_dataSet->Edit();
    }
}

void TCommonForm::PostRecord() {
    if (m_dataSet->State() == TDataSetState::Edit || m_dataSet->State() == TDataSetState::Insert) {
        m_dataSet->Post();
    }
}

void TCommonForm::CloseRecord() {
    m_dataSet->Close();
}

void TCommonForm::ApplyUpdates() {
    m_dataSet->UpdateBatch();
}

bool TCommonForm::IsModified() {
    UpdateRecord();
    // A change posted but not stored (the catalogue refused it) is still the user's to keep.
    return m_dataSet->Modified() || m_dataSet->UpdatesPending();
}

bool TCommonForm::Prepare(const QVariant& key) {
    {
        THourglass hourglass;
        try {
            OpenRecord(key);
        } catch (...) {
            CloseRecord();
            throw;
        }
    }
    if (m_dataSet->IsEmpty() && m_dataSet->State() != TDataSetState::Insert) {
        CloseRecord();
        ShowInformation(tr("Запись была удалена."), this);
        return false;
    }
    StartEdit();
    return true;
}

void TCommonForm::Finish() {
    CloseRecord();
}

bool TCommonForm::Execute(const QVariant& key) {
    if (!Prepare(key)) {
        return false;
    }
    bool ok = false;
    try {
        ok = Dialogs().execDialog(*this) == QDialog::Accepted;
    } catch (...) {
        Finish();
        throw;
    }
    Finish();
    return ok;
}

void TCommonForm::saveInTransaction() {
    TTransaction transaction(m_module.ADOConnection);
    ApplyUpdates();
    transaction.Commit();
}

void TCommonForm::OkButtonClick() {
    if (m_ok) {
        m_ok->setFocus();
    }
    try {
        const bool modified = IsModified();
        PostRecord();
        saveInTransaction();
        // Only a change that reached the catalogue counts as saved.
        if (modified) {
            m_saved = true;
        }
    } catch (const EConflictError&) {
        StartEdit();
        if (!ResolveConflict()) {
            throw;
        }
        return;
    } catch (...) {
        StartEdit();
        throw;
    }
    m_closing = true;
    accept();
    m_closing = false;
}

bool TCommonForm::CloseQuery() {
    if (!IsModified()) {
        return true;
    }
    QWidget* focused = focusWidget();
    switch (ConfirmYesNoCancel(tr("Сохранить изменения?"), this)) {
        case QMessageBox::Yes:
            OkButtonClick();
            return false;  // OK closed the dialog already, or it stays open on failure
        case QMessageBox::No:
            return true;
        default:
            if (focused) {
                focused->setFocus();
            }
            return false;
    }
}

void TCommonForm::done(int result) {
    if (result != QDialog::Accepted && !m_closing) {
        bool allowed = false;
        Guarded([this, &allowed]() { allowed = CloseQuery(); });
        if (!allowed) {
            return;
        }
    }
    TExForm::done(result);
}
