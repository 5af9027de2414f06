#pragma once

#include "common/ExForm.h"

#include <QVector>

#include <memory>

namespace Ui {
class TSendInfoForm;
}

// One attachment of a mailing: the full file name and its size (low 32 bits).
struct TAttachment {
    QString FileName;
    quint32 Size = 0;
};

// The parameters of one mailing, owned by the report preview.
struct TMailingParameters {
    QString Subject;
    QString Recipient;
    QString ReplyTo;
    QString FromAddress;
    QString FromName;
    QVector<TAttachment> Attachments;
};

// Collects sender, reply address, recipient, subject and attachments before a mailing;
// four boxes offer the last fifteen values used.
class TSendInfoForm final : public TExForm {
    Q_OBJECT
public:
    explicit TSendInfoForm(QWidget* parent = nullptr);
    ~TSendInfoForm() override;

    // 0 cancelled, 1 sent to everybody on the list, 2 sent to the current recipient. The
    // attachments change as the user adds and deletes files, confirmed or not.
    int Execute(TMailingParameters& parameters);

    // The steps of Execute and the handlers, for tests.
    void Prepare(TMailingParameters& parameters);
    int Confirm();
    void AddButtonClick();
    void DeleteButtonClick();
    void SetAllAllowed(bool allowed);
    static QString AttachmentText(const TAttachment& a);

protected:
    void IdleUpdate() override;

private:
    void fillAttachments();

    std::unique_ptr<Ui::TSendInfoForm> ui;
    TMailingParameters* m_parameters = nullptr;
};
