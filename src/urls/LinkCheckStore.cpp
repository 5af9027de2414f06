#include "urls/LinkCheckStore.h"

#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr int kUrlLength = 2048;
constexpr int kErrorLength = 255;

QVariant orNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// A reading with one bound key; the dataset is the caller's for its rows.
void openForKey(TDataSet& ds, TConnection& connection, const QString& jetSql, const QVariant& key) {
    ds.SetConnection(&connection);
    ds.SetCommandText(jetSql);
    ds.Parameters().ParamByName(QStringLiteral("ID")).SetValue(key.toString());
    ds.Open();
}

// Whether the record holds exactly this address: the catalogue's "=" ignores letter case,
// and an address changed in case alone is another address.
bool holdsExactly(TConnection& connection, const QVariant& key, const QString& url) {
    TDataSet record;
    openForKey(record, connection,
               QStringLiteral("SELECT URL FROM SubjectURLs WHERE SubjectURLID = :ID"), key);
    return !record.IsEmpty() && record.FieldByName(QStringLiteral("URL")).AsString() == url;
}

}  // namespace

QList<QPair<QDateTime, QString>> TLinkCheckStore::earlierChecks(const QVariant& key) {
    TDataSet ds;
    openForKey(ds, m_connection,
               QStringLiteral("SELECT CheckedAt, Status FROM LinkChecks WHERE SubjectURLID = :ID "
                              "ORDER BY CheckedAt DESC, CheckID DESC LIMIT %1")
                   .arg(std::max(1, History)),
               key);
    QList<QPair<QDateTime, QString>> checks;
    const TField& at = ds.FieldByName(QStringLiteral("CheckedAt"));
    const TField& status = ds.FieldByName(QStringLiteral("Status"));
    for (int r = 0; r < ds.RecordCount(); ++r) {
        checks.append({ds.ValueAt(r, at).toDateTime(), ds.ValueAt(r, status).toString()});
    }
    return checks;
}

QVariantList TLinkCheckStore::Save(const QList<TLinkCheckResult>& results) {
    QVariantList written;
    if (results.isEmpty()) {
        return written;
    }
    TTransaction transaction(m_connection);
    for (const TLinkCheckResult& r : results) {
        if (!holdsExactly(m_connection, r.key, r.url)) {
            continue;
        }
        const QString verdict = LinkStatusName(r.verdict);
        QString status = verdict;
        if (IsFailedStatus(verdict) && CalledDead(earlierChecks(r.key), r.checkedAt)) {
            status = DeadLinkStatus();
        }
        const QVariant code = r.httpCode > 0 ? QVariant(r.httpCode) : QVariant();
        const qint64 changed = m_connection.Execute(
            QStringLiteral("UPDATE SubjectURLs SET LinkStatus = :Status, LinkCode = :Code, "
                           "LinkChecked = :At WHERE SubjectURLID = :ID AND URL = :URL"),
            {{QStringLiteral("Status"), status},
             {QStringLiteral("Code"), code},
             {QStringLiteral("At"), r.checkedAt},
             {QStringLiteral("ID"), r.key.toString()},
             {QStringLiteral("URL"), r.url}});
        if (changed == 0) {
            continue;
        }
        // An address too long for the record could never replace it: none is kept, and
        // the error says why.
        QString finalUrl = r.finalUrl;
        QString error = r.error;
        if (finalUrl.size() > kUrlLength) {
            finalUrl.clear();
            error = QCoreApplication::translate("LinkCheck", "Новый адрес длиннее %1 знаков")
                        .arg(kUrlLength);
        }
        if (error.size() > kErrorLength) {
            error = error.left(kErrorLength - 1) + QChar(0x2026);
        }
        m_connection.Execute(
            QStringLiteral("INSERT INTO LinkChecks (SubjectURLID, CheckedAt, Status, HTTPCode, "
                           "FinalURL, ErrorText) VALUES (:ID, :At, :Status, :Code, :Final, "
                           ":Error)"),
            {{QStringLiteral("ID"), r.key.toString()},
             {QStringLiteral("At"), r.checkedAt},
             {QStringLiteral("Status"), verdict},
             {QStringLiteral("Code"), code},
             {QStringLiteral("Final"), orNull(finalUrl)},
             {QStringLiteral("Error"), orNull(error)}});
        m_connection.Execute(
            QStringLiteral("DELETE FROM LinkChecks WHERE SubjectURLID = :ID AND CheckID NOT IN "
                           "(SELECT CheckID FROM LinkChecks WHERE SubjectURLID = :ID ORDER BY "
                           "CheckedAt DESC, CheckID DESC LIMIT %1)")
                .arg(std::max(1, History)),
            {{QStringLiteral("ID"), r.key.toString()}});
        written.append(r.key);
    }
    transaction.Commit();
    return written;
}

QList<TMovedLink> TLinkCheckStore::MovedLinks(const QVariantList& keys) {
    QList<TMovedLink> moved;
    for (const QVariant& key : keys) {
        TDataSet record;
        openForKey(
            record, m_connection,
            QStringLiteral("SELECT URL, LinkStatus FROM SubjectURLs WHERE SubjectURLID = :ID"),
            key);
        if (record.IsEmpty() ||
            record.FieldByName(QStringLiteral("LinkStatus"))
                    .AsString()
                    .compare(LinkStatusName(TLinkVerdict::Moved), Qt::CaseInsensitive) != 0) {
            continue;
        }
        TDataSet last;
        openForKey(last, m_connection,
                   QStringLiteral("SELECT FinalURL FROM LinkChecks WHERE SubjectURLID = :ID "
                                  "ORDER BY CheckedAt DESC, CheckID DESC"),
                   key);
        const QString finalUrl =
            last.IsEmpty() ? QString() : last.FieldByName(QStringLiteral("FinalURL")).AsString();
        if (!finalUrl.isEmpty()) {
            moved.append({key, record.FieldByName(QStringLiteral("URL")).AsString(), finalUrl});
        }
    }
    return moved;
}

QList<TMovedLink> TLinkCheckStore::AcceptNewAddresses(const QList<TMovedLink>& links) {
    QList<TMovedLink> leftAlone;
    TTransaction transaction(m_connection);
    for (const TMovedLink& link : links) {
        if (!holdsExactly(m_connection, link.key, link.url)) {
            leftAlone.append(link);
            continue;
        }
        // Only over the address that was checked, and only while the record is still
        // called moved: an address somebody changed since is theirs to keep.
        const qint64 changed = m_connection.Execute(
            QStringLiteral("UPDATE SubjectURLs SET URL = :URL, LinkStatus = NULL, "
                           "LinkCode = NULL, LinkChecked = NULL WHERE SubjectURLID = :ID AND "
                           "URL = :Old AND LinkStatus = :Moved"),
            {{QStringLiteral("URL"), link.finalUrl},
             {QStringLiteral("ID"), link.key.toString()},
             {QStringLiteral("Old"), link.url},
             {QStringLiteral("Moved"), LinkStatusName(TLinkVerdict::Moved)}});
        if (changed == 0) {
            leftAlone.append(link);
        }
    }
    transaction.Commit();
    return leftAlone;
}
