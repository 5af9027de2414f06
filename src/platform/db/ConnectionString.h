#pragma once

#include <QString>
#include <QVector>

// An OLE DB style connection string: "Name=Value;Name=Value". Names compare without
// regard to case; a value may be quoted with " or ' (the quote doubled inside) so that it
// can hold ";". Order is kept, so a string read and written again stays recognisable.
class TConnectionString final {
public:
    TConnectionString() = default;
    explicit TConnectionString(const QString& text);

    QString value(const QString& name) const;
    bool contains(const QString& name) const;
    void setValue(const QString& name, const QString& value);
    void remove(const QString& name);
    QString toString() const;

    // The provider the string names; SQLite when it names none.
    QString provider() const;
    // The same string with any password replaced, for messages and logs.
    QString withoutPassword() const;

private:
    struct TPair {
        QString name;
        QString value;
    };
    QVector<TPair> m_pairs;
};

// A server's "host", "host:port" or "[v6 address]:port": host and port (5432 when none is
// given). False for a port that is not a number from 1 to 65535.
bool SplitServerAddress(const QString& source, QString& host, int& port);
