#include "reports/ReportMailer.h"

#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "common/UtilsUnit.h"
#include "reports/ReportWriter.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QRandomGenerator>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TReportMailer", text);
}

}  // namespace

TReportMailer::TReportMailer() {
    SendSMTP.Port = 25;
    SendSMTP.ClearParams = true;
    SendSMTP.SubType = TMessageSubType::Plain;
    SendSMTP.Charset = QStringLiteral("utf-8");
    SendSMTP.OnConnect = [this]() {
        log(QStringLiteral("Connected to host %1. User ID: %2.")
                .arg(SendSMTP.Host, SendSMTP.UserID));
    };
    SendSMTP.OnSendStart = [this]() {
        log(QStringLiteral("Sending message to \"%1\".").arg(firstRecipient()));
    };
    SendSMTP.OnRecipientNotFound = [this](const QString&) {
        log(QStringLiteral("Recipient \"%1\" not found. Host: %2.")
                .arg(firstRecipient(), SendSMTP.Host));
    };
    SendSMTP.OnFailure = [this]() {
        log(QStringLiteral("Message delivery failure to \"%1\".").arg(firstRecipient()));
    };
    SendSMTP.OnSuccess = [this]() { log(QStringLiteral("Message sent successfully.")); };
    SendSMTP.OnConnectionFailed = [this]() {
        log(QStringLiteral("Connection failed to host %1.").arg(SendSMTP.Host));
    };
    SendSMTP.OnAuthenticationFailed = [this](bool&) {
        log(QStringLiteral("Authentication failed. Host: %1. User ID: %2.")
                .arg(SendSMTP.Host, SendSMTP.UserID));
    };
    SendSMTP.OnInvalidHost = [](bool&) {
        throw EError(
            tr("Не указан или неверный адрес SMTP сервера. Обратитесь к настройкам программы."));
    };
}

void TReportMailer::log(const QString& message) const {
    if (Options().LogMail) {
        AppendLogLine(MailLogFileName(), SendTag, message);
    }
}

QString TReportMailer::firstRecipient() const {
    return SendSMTP.PostMessage.ToAddress.value(0);
}

void TReportMailer::failed(const QString& recipient, const QString& reason, bool serverSaid) {
    if (SendSMTP.Cancelled) {
        return;  // the user stopped it and knows
    }
    // The server's own reply is named as such; the program's refusal or a lost connection
    // is not passed off as one.
    LastFailure = serverSaid
                      ? tr("Письмо для %1 не отправлено. Ответ сервера %2:\n%3")
                            .arg(recipient, SendSMTP.Host, reason.trimmed())
                      : tr("Письмо для %1 не отправлено:\n%2").arg(recipient, reason.trimmed());
}

void TReportMailer::Cancel() {
    SendSMTP.Cancelled = true;
}

void TReportMailer::SendMessage(const TMailingParameters& parameters, const QString& text) {
    const TProgramOptions& options = Options();
    SendSMTP.Host = options.SMTPServerAddress;
    SendSMTP.Port = options.SMTPServerPort;
    SendSMTP.UserID = QHostInfo::localHostName().left(260);
    // A server that never answers must not hold the send for ever.
    SendSMTP.TimeOut = qMax(1, options.SMTPTimeOut) * 1000;
    SendSMTP.Security = TSecurity(options.SMTPSecurity);
    SendSMTP.UserName = options.SMTPUserName;
    SendSMTP.Password = options.SMTPPassword;
    SendSMTP.TrustedCertificate = options.SMTPTrustedCertificate;
    SendSMTP.Cancelled = false;
    LastFailure.clear();
    SendTag = QRandomGenerator::global()->bounded(2147483647U);
    SendSMTP.Connect();
    try {
        SendSMTP.Charset = DetectCharset(text, options.DefaultCharSet);
        SendSMTP.SubType = IsHtmlMessage(text) ? TMessageSubType::Html : TMessageSubType::Plain;
        SendSMTP.ClearParameters();
        TPostMessage& m = SendSMTP.PostMessage;
        m.FromName = parameters.FromName;
        m.FromAddress = parameters.FromAddress;
        m.Subject = parameters.Subject;
        m.ReplyTo = parameters.ReplyTo;
        m.Body = SplitPageLines(text);
        for (const TAttachment& a : parameters.Attachments) {
            m.Attachments << a.FileName;
        }
        m.ToAddress << parameters.Recipient;
        SendSMTP.SendMail();
    } catch (const EError& e) {
        log(QStringLiteral("Error ") + e.message());
        failed(parameters.Recipient, e.message(), dynamic_cast<const EServerReply*>(&e) != nullptr);
    } catch (const std::exception& e) {
        log(QStringLiteral("Error ") + QString::fromLocal8Bit(e.what()));
        failed(parameters.Recipient, QString::fromLocal8Bit(e.what()), false);
    }
    // A cancelled send must not wait for the server once more to say goodbye.
    if (SendSMTP.Cancelled) {
        SendSMTP.Abort();
        return;
    }
    SendSMTP.Disconnect();
}
