#pragma once

#include "urls/LinkCheck.h"

#include <QList>
#include <QVariantList>

class TConnection;

// A moved record's address and where it now leads.
struct TMovedLink {
    QVariant key;
    QString url;
    QString finalUrl;
};

// Link checks in the catalogue: each check a row of LinkChecks, the last one's status,
// code and time on the record itself.
class TLinkCheckStore final {
public:
    explicit TLinkCheckStore(TConnection& connection) : m_connection(connection) {}

    // Checks kept per record, the newest; older ones go as each new one is written.
    int History = 20;

    // Writes the checks in one transaction, all or none; a record deleted meanwhile, or
    // given another address than the one checked, gets none. A failure is stored on the record as
    // "dead" when CalledDead says so. Returns the keys of the records written.
    QVariantList Save(const QList<TLinkCheckResult>& results);
    // The records among keys whose last check found them moved, with their last check's
    // final address.
    QList<TMovedLink> MovedLinks(const QVariantList& keys);
    // Puts each final address in place of the record's address, in one transaction; the
    // record's last check no longer applies to it and is cleared. A record whose address
    // is no longer the one checked (or no longer moved, or gone) is left alone and
    // returned.
    QList<TMovedLink> AcceptNewAddresses(const QList<TMovedLink>& links);

private:
    QList<QPair<QDateTime, QString>> earlierChecks(const QVariant& key);

    TConnection& m_connection;
};
