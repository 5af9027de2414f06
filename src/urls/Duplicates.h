#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class TConnection;

// The rules by which two addresses count as the same one; each can be switched off.
struct TAddressRules {
    bool schemeAndHostCase = true;   // "HTTP://Example.ORG" is "http://example.org"
    bool httpIsHttps = true;         // "http:" and "https:" alike
    bool leadingWww = true;          // "www.example.org" is "example.org"
    bool trailingSlash = true;       // "/path/" is "/path"
    bool defaultPort = true;         // ":80" for http, ":443" for https
    bool fragment = true;            // "#part" dropped
    bool trackingParameters = true;  // utm_*, fbclid, gclid dropped
    bool parameterOrder = true;      // "?b=2&a=1" is "?a=1&b=2"
};

// The address as the switched-on rules make it, to compare with others. An address
// without "//" is taken as http://, as opening it does. Nothing else is changed: no
// percent-decoding, no path resolution.
QString NormalizedAddress(const QString& address, const TAddressRules& rules);

struct TDuplicateRecord {
    QVariant key;
    QString url;
    QString description;
    QString category;
    bool visited = false;
};

// Records whose addresses are one after normalisation, in the catalogue's order.
struct TDuplicateGroup {
    QString normalized;
    QVector<TDuplicateRecord> records;
};

// The record a merge keeps by default: the first https one, else the first.
int DefaultKept(const TDuplicateGroup& group);

class TDuplicates final {
public:
    explicit TDuplicates(TConnection& connection) : m_connection(connection) {}

    // The records, other than except, whose address is the given one by the rules.
    QVector<TDuplicateRecord> Holding(const QString& address, const TAddressRules& rules,
                                      const QVariant& except);
    // Every group of two records or more, largest first, then by address.
    QVector<TDuplicateGroup> Find(const TAddressRules& rules);
    // Merges the group into the record at kept: its address stays, the categories of all
    // join without repeats, differing descriptions join with " | ", it is visited when any
    // was; the others are deleted (their link checks with them). One transaction. A joined
    // text longer than its field refuses the merge with an error naming the record.
    void Merge(const TDuplicateGroup& group, int kept);

private:
    TConnection& m_connection;
};
