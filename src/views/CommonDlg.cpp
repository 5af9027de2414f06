#include "views/CommonDlg.h"

#include "app/GeneralUnit.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"

#include <QPushButton>

QString TrimmedFieldText(const QString& text) {
    int begin = 0;
    int end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20) {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= 0x20) {
        --end;
    }
    return text.mid(begin, end - begin);
}

TCommonForm::TCommonForm(TGeneralModule& module, QWidget* parent)
    : TExForm(parent), adsCommon(new TDataSet(this)), m_module(module) {
    adsCommon->setObjectName(QStringLiteral("adsCommon"));
    adsCommon->SetConnection(&module.ADOConnection);
    adsCommon->SetLockType(TLockType::BatchOptimistic);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

TCommonForm::~TCommonForm() = default;

void TCommonForm::BindButtons(QPushButton* ok, QPushButton* cancel) {
    m_ok = ok;
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this]() { Guarded([this]() { OkButtonClick(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TCommonForm::OpenRecord(const QVariant&) {}

void TCommonForm::StartEdit() {
    if (adsCommon->CanModify() && adsCommon->State() == TDataSetState::Browse &&
        !adsCommon->IsEmpty()) {
        adsCommon->Edit();
    }
}

void TCommonForm::PostRecord() {
    if (adsCommon->State() == TDataSetState::Edit || adsCommon->State() == TDataSetState::Insert) {
        adsCommon->Post();
    }
}

void TCommonForm::CloseRecord() {
    adsCommon->Close();
}

void TCommonForm::ApplyUpdates() {
    adsCommon->UpdateBatch();
}

bool TCommonForm::IsModified() {
    UpdateRecord();
    return adsCommon->Modified();
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
    if (adsCommon->IsEmpty() && adsCommon->State() != TDataSetState::Insert) {
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
        ok = exec() == QDialog::Accepted;
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
        if (modified) {
            Saved = true;
        }
        saveInTransaction();
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
