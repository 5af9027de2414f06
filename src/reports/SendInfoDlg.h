#pragma once

#include "common/ExForm.h"
#include "reports/MailingParameters.h"

#include <memory>

namespace Ui {
class TSendInfoForm;
}

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
    // "Отправить": every field that goes into the message's header must be one line; the
    // first that is not is named, and the dialog stays open.
    bool SendButtonClick();
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
