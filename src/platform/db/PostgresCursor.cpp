#include "platform/db/PostgresCursor.h"

#include "platform/db/PostgresProvider.h"
#include "platform/db/RowStore.h"

#include <QDateTime>

#include <cstdlib>

namespace {

// Type ids of the server's built-in types (pg_type.oid); they never change.
enum : Oid {
    kBoolOid = 16,
    kByteaOid = 17,
    kInt8Oid = 20,
    kInt2Oid = 21,
    kInt4Oid = 23,
    kTextOid = 25,
    kOidOid = 26,
    kFloat4Oid = 700,
    kFloat8Oid = 701,
    kVarcharOid = 1043,
    kDateOid = 1082,
    kTimestampOid = 1114,
    kTimestampTzOid = 1184,
    kNumericOid = 1700,
    kUuidOid = 2950,
};

QByteArray decodeBytea(const char* text, int size) {
    if (size >= 2 && text[0] == '\\' && text[1] == 'x') {
        return QByteArray::fromHex(QByteArray::fromRawData(text + 2, size - 2));
    }
    return QByteArray(text, size);
}

}  // namespace

TPgParams::TPgParams(const QVariantList& params, int count) {
    m_data.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QVariant v = i < params.size() ? params.at(i) : QVariant();
        m_types.push_back(0);
        m_formats.push_back(0);
        if (!v.isValid() || v.isNull()) {
            m_data.emplace_back();
            m_null.push_back(true);
            continue;
        }
        m_null.push_back(false);
        switch (v.typeId()) {
            case QMetaType::Bool:
                m_data.push_back(v.toBool() ? "1" : "0");
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                m_data.push_back(QByteArray::number(v.toDouble(), 'g', 17));
                break;
            case QMetaType::QDate:
                m_data.push_back(v.toDate().toString(Qt::ISODate).toLatin1());
                break;
            case QMetaType::QDateTime:
                m_data.push_back(
                    v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1());
                break;
            case QMetaType::QByteArray:
                m_data.push_back(v.toByteArray());
                m_types.back() = kByteaOid;
                m_formats.back() = 1;
                break;
            default:
                m_data.push_back(v.toString().toUtf8());
                break;
        }
    }
    for (int i = 0; i < count; ++i) {
        m_values.push_back(m_null[i] ? nullptr : m_data[i].constData());
        m_lengths.push_back(static_cast<int>(m_data[i].size()));
    }
}

QString PgErrorText(const PGresult* result, const PGconn* conn) {
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString text = QString::fromUtf8(primary ? primary : PQerrorMessage(conn)).trimmed();
    if (const char* detail =
            result ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr) {
        text += QLatin1Char('\n') + QString::fromUtf8(detail).trimmed();
    }
    return text;
}

// The cursor OpenPgCursor opens: a friend of the provider, whose connection it reads.
class TPgCursor final : public TDbCursor {
public:
    TPgCursor(TPostgresProvider& provider, const QString& sql, const QVariantList& params)
        : m_provider(provider), m_conn(provider.m_conn) {
        const QByteArray text = sql.toUtf8();
        const TPgParams p(params, static_cast<int>(params.size()));
        provider.m_callInTransaction = PQtransactionStatus(m_conn) != PQTRANS_IDLE;
        if (!PQsendQueryParams(m_conn, text.constData(), p.size(), p.types(), p.values(),
                               p.lengths(), p.formats(), 0)) {
            provider.fail(nullptr);
        }
        m_sent = true;
        provider.m_gaveUp = false;
        PQsetSingleRowMode(m_conn);
        m_pending = nextOrDiscard();
        const ExecStatusType status = m_pending ? PQresultStatus(m_pending) : PGRES_FATAL_ERROR;
        if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
            PGresult* failed = m_pending;
            m_pending = nullptr;
            drain();
            provider.fail(failed);
        }
        readDescriptors();
    }

    ~TPgCursor() override {
        PQclear(m_pending);
        drain();
    }

    void fetchAll(TRowStore& store) override {
        const int n = m_columns.size();
        store.reset(n);
        TRowBuilder row;
        while (m_pending) {
            PGresult* r = m_pending;
            m_pending = nullptr;
            const TPgResult owner(r);
            const ExecStatusType status = PQresultStatus(r);
            if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
                drain();
                throw EDatabaseError(PgErrorText(r, m_conn));
            }
            for (int t = 0; t < PQntuples(r); ++t) {
                row.begin(n);
                for (int c = 0; c < n; ++c) {
                    addCell(row, r, t, c);
                }
                store.append(row.record());
                ++m_provider.m_rowsRead;
            }
            m_pending = nextOrDiscard();
        }
        m_sent = false;
        // Only now is the connection free to look up where the columns come from.
        describe();
    }

private:
    enum class TReadAs { Text, Integer, Real, Bool, DateTime, Blob };

    struct TDescriptor {
        Oid type;
        int modifier;
        Oid table;
        int column;
    };

    void readDescriptors() {
        const PGresult* r = m_pending;
        const int n = PQnfields(r);
        for (int c = 0; c < n; ++c) {
            TColumnInfo info;
            info.name = QString::fromUtf8(PQfname(r, c));
            const Oid type = PQftype(r, c);
            info.type = typeOf(type, PQfmod(r, c), info.size);
            m_columns << info;
            m_descriptors.push_back({type, PQfmod(r, c), PQftable(r, c), PQftablecol(r, c)});
            m_readAs.push_back(readAs(info.type));
        }
    }

    // The table, column and declared type of each result column that comes from a table.
    void describe() {
        for (int c = 0; c < m_columns.size(); ++c) {
            const TDescriptor& d = m_descriptors[static_cast<std::size_t>(c)];
            if (d.table == InvalidOid) {
                continue;
            }
            const TPostgresProvider::TColumnOrigin o = m_provider.origin(d.table, d.column);
            TColumnInfo& info = m_columns[c];
            info.table = o.table;
            info.column = o.column;
            if (!o.declared.isEmpty()) {
                int size = 0;
                const TFieldType declared = FieldTypeFromDeclared(o.declared, &size);
                if (declared != TFieldType::Unknown) {
                    info.type = declared;
                    info.size = size;
                }
            }
        }
    }

    static TFieldType typeOf(Oid type, int modifier, int& size) {
        switch (type) {
            case kBoolOid:
                return TFieldType::Boolean;
            case kInt2Oid:
                return TFieldType::SmallInt;
            case kInt4Oid:
            case kOidOid:
                return TFieldType::Integer;
            case kInt8Oid:
                return TFieldType::LargeInt;
            case kFloat4Oid:
            case kFloat8Oid:
            case kNumericOid:
                return TFieldType::Float;
            case kDateOid:
            case kTimestampOid:
            case kTimestampTzOid:
                return TFieldType::DateTime;
            case kByteaOid:
                return TFieldType::Blob;
            case kUuidOid:
                size = 38;
                return TFieldType::Guid;
            case kVarcharOid:
                if (modifier > 4) {
                    size = modifier - 4;
                    return TFieldType::WideString;
                }
                return TFieldType::Memo;
            default:
                return TFieldType::Memo;
        }
    }

    // How a value of the server's own type is read, from the field type that type gives.
    static TReadAs readAs(TFieldType type) {
        switch (type) {
            case TFieldType::Boolean:
                return TReadAs::Bool;
            case TFieldType::SmallInt:
            case TFieldType::Integer:
            case TFieldType::LargeInt:
                return TReadAs::Integer;
            case TFieldType::Float:
                return TReadAs::Real;
            case TFieldType::DateTime:
                return TReadAs::DateTime;
            case TFieldType::Blob:
                return TReadAs::Blob;
            default:
                return TReadAs::Text;
        }
    }

    void addCell(TRowBuilder& row, const PGresult* r, int t, int c) const {
        if (PQgetisnull(r, t, c)) {
            row.addNull();
            return;
        }
        const char* v = PQgetvalue(r, t, c);
        const int size = PQgetlength(r, t, c);
        switch (m_readAs[static_cast<std::size_t>(c)]) {
            case TReadAs::Bool:
                row.addInteger(v[0] == 't' ? 1 : 0);
                break;
            case TReadAs::Integer:
                row.addInteger(std::strtoll(v, nullptr, 10));
                break;
            case TReadAs::Real:
                row.addReal(std::strtod(v, nullptr));
                break;
            case TReadAs::DateTime: {
                // Stored like the embedded engine's dates: day numbers.
                QString iso = QString::fromLatin1(v, size);
                iso.replace(QLatin1Char(' '), QLatin1Char('T'));
                QDateTime when = QDateTime::fromString(iso, Qt::ISODateWithMs);
                if (!when.isValid()) {
                    when = QDateTime(QDate::fromString(iso, Qt::ISODate), QTime(0, 0));
                }
                if (when.timeSpec() != Qt::LocalTime) {
                    when = when.toLocalTime();
                }
                if (when.isValid()) {
                    row.addReal(DayNumber(when));
                } else {
                    row.addText(v, static_cast<std::uint32_t>(size));  // infinity and the like
                }
                break;
            }
            case TReadAs::Blob: {
                const QByteArray b = decodeBytea(v, size);
                row.addBlob(b.constData(), static_cast<std::uint32_t>(b.size()));
                break;
            }
            case TReadAs::Text:
                row.addText(v, static_cast<std::uint32_t>(size));
                break;
        }
    }

    // The next result, waited for within the limit; a wait given up leaves nothing to read.
    PGresult* nextOrDiscard() {
        try {
            return m_provider.nextResult();
        } catch (...) {
            m_sent = false;
            throw;
        }
    }

    // Reads whatever the server still sends for this query, so the connection is free.
    void drain() {
        if (!m_sent) {
            return;
        }
        m_provider.discardResults();
        m_sent = false;
    }

    TPostgresProvider& m_provider;
    PGconn* m_conn;
    PGresult* m_pending = nullptr;
    bool m_sent = false;
    std::vector<TDescriptor> m_descriptors;
    std::vector<TReadAs> m_readAs;
};

std::unique_ptr<TDbCursor> OpenPgCursor(TPostgresProvider& provider, const QString& sql,
                                        const QVariantList& params) {
    return std::make_unique<TPgCursor>(provider, sql, params);
}
