#pragma once

#include "platform/db/DbProvider.h"

#include <QByteArray>

#include <libpq-fe.h>

#include <memory>
#include <vector>

class TPostgresProvider;

// A result freed on every way out of the scope.
struct TPgResult {
    PGresult* r;
    explicit TPgResult(PGresult* result) : r(result) {}
    ~TPgResult() { PQclear(r); }
    TPgResult(const TPgResult&) = delete;
    TPgResult& operator=(const TPgResult&) = delete;
};

// Parameter values as the server's text input; a byte array goes as binary bytea.
class TPgParams final {
public:
    TPgParams(const QVariantList& params, int count);
    int size() const { return static_cast<int>(m_values.size()); }
    const Oid* types() const { return m_types.data(); }
    const char* const* values() const { return m_values.data(); }
    const int* lengths() const { return m_lengths.data(); }
    const int* formats() const { return m_formats.data(); }

private:
    std::vector<QByteArray> m_data;
    std::vector<bool> m_null;
    std::vector<Oid> m_types;
    std::vector<const char*> m_values;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
};

// The server's words for a failed result, or for the connection when there is none.
QString PgErrorText(const PGresult* result, const PGconn* conn);

// Sends a query on the provider's connection and reads its result one row at a time, so a
// million rows never stand twice in memory.
std::unique_ptr<TDbCursor> OpenPgCursor(TPostgresProvider& provider, const QString& sql,
                                        const QVariantList& params);
