#pragma once

#include <QString>
#include <QVector>

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
