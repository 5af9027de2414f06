#pragma once

#include "mail/SMTPClient.h"
#include "reports/MailingParameters.h"

// Sends one report page to the recipient of the mailing parameters over the SMTP server of
// the options, and writes the course of the send into the mail log when LogMail is on.
class TReportMailer final {
public:
    TReportMailer();

    TSMTPClient SendSMTP;
    // The tag of the last message in the log, drawn anew for each message.
    quint32 SendTag = 0;

    // Connecting failures are thrown; once connected, errors of the send are logged and
    // dropped, and the client always disconnects; a failing QUIT is thrown.
    void SendMessage(const TMailingParameters& parameters, const QString& text);
    // Stops a send that waits for the server: the wait ends with "Socket readln aborted".
    void Cancel();
    // What went wrong with the last send once connected, for the user: the recipient and
    // the server's reply; empty after a success or a cancel.
    QString LastFailure;

private:
    void log(const QString& message) const;
    // serverSaid: the reason is the mail server's own reply.
    void failed(const QString& recipient, const QString& reason, bool serverSaid);
    QString firstRecipient() const;
};
