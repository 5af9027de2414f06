#include "platform/db/RowWriter.h"

#include "platform/db/Connection.h"
#include "platform/db/JetSql.h"

#include <QCoreApplication>

#include <algorithm>

TRowWriter::TRowWriter(TRowStore& store, const QVector<TColumnInfo>& columns)
    : m_store(store), m_columns(columns) {}

void TRowWriter::FindTarget(TDbProvider& provider) {
    const QVector<TColumnInfo>& columns = m_columns;
    m_table.clear();
    m_keyColumns.clear();
    m_updatableColumns.clear();
    for (int i = 0; i < columns.size(); ++i) {
        const TColumnInfo& c = columns[i];
        if (c.table.isEmpty() || c.column.isEmpty()) {
            continue;
        }
        if (m_table.isEmpty()) {
            m_table = c.table;
        }
        if (c.table.compare(m_table, Qt::CaseInsensitive) == 0) {
            m_updatableColumns << i;
        }
    }
    if (m_table.isEmpty()) {
        return;
    }
    const QStringList key = provider.primaryKey(m_table);
    for (const QString& k : key) {
        int found = -1;
        for (int i : m_updatableColumns) {
            if (columns[i].column.compare(k, Qt::CaseInsensitive) == 0) {
                found = i;
            }
        }
        if (found < 0) {
            m_keyColumns.clear();  // part of the key is not in the result: find rows by values
            break;
        }
        m_keyColumns << found;
    }
}

void TRowWriter::Write(TConnection* connection, const TRowChange& change, const char* current,
                       QVariantList* returnedKey) const {
    // A lone write commits by itself; in a transaction of its own, a commit the engine
    // cannot confirm is settled from what the file holds, as every other commit is.
    if (!connection || connection->InTransaction()) {
        writeInTransaction(connection, change, current, returnedKey);
        return;
    }
    TTransaction own(*connection);
    writeInTransaction(connection, change, current, returnedKey);
    own.Commit();
}

void TRowWriter::writeInTransaction(TConnection* connection, const TRowChange& change,
                                    const char* current, QVariantList* returnedKey) const {
    if (m_table.isEmpty() || m_updatableColumns.isEmpty()) {
        throw EDatabaseError(QCoreApplication::translate(
            "TDataSet", "Набор данных нельзя изменить: неизвестна таблица"));
    }
    TDbProvider& provider = connection->Writer();
    const QString table = JetQuotedString(m_table);
    // The next placeholder: parameters are numbered in the order they are added.
    const auto mark = [&provider](const QVariantList& params) {
        return provider.placeholder(static_cast<int>(params.size()) + 1);
    };
    const QString is = QLatin1Char(' ') + provider.nullSafeEquals() + QLatin1Char(' ');
    const auto columnName = [this](int c) { return JetQuotedString(m_columns[c].column); };
    // Dates are kept as day numbers; the server takes them only as dates.
    const bool server = provider.dialect() == TSqlDialect::PostgreSQL;
    const auto bindable = [&](int c, const TCellView& cell) {
        if (server && cell.tag == TCellView::Real && m_columns[c].type == TFieldType::DateTime) {
            return QVariant(DateTimeFromDayNumber(cell.real()));
        }
        return cell.variant();
    };
    const auto originalOf = [&](int c) { return bindable(c, m_store.cellOf(change.original, c)); };
    // The others on the catalogue are told which rows changed, when one column keys them;
    // a write left unnamed reaches them as a change of many rows.
    const auto announce = [&](const QVariantList& keys) {
        if (m_keyColumns.size() != 1) {
            return;
        }
        QStringList texts;
        for (const QVariant& k : keys) {
            if (k.isValid() && !k.isNull()) {
                texts << k.toString();
            }
        }
        provider.noteChangedRows(m_table, texts);
    };
    const auto currentOf = [&](int c) { return bindable(c, m_store.cellOf(current, c)); };

    // A column still holds the value read. The server keeps a time to the microsecond and
    // the program reads it to the millisecond: a time written finer by another tool is the
    // one read when it is within that millisecond.
    const auto holdsOriginal = [&](int c, QVariantList& params) {
        const QVariant value = originalOf(c);
        const QString term =
            server && m_columns[c].type == TFieldType::DateTime && !value.isNull()
                ? QStringLiteral("abs(extract(epoch FROM %1 - CAST(%2 AS timestamp))) < 0.001")
                      .arg(columnName(c), mark(params))
                : columnName(c) + is + mark(params);
        params << value;
        return term;
    };
    // Where the row is found: its key and the original values of the columns that
    // changed, or without a key every original value of the one first such row.
    const auto locate = [&](const QVector<int>& changed, QVariantList& params) {
        QStringList terms;
        if (!m_keyColumns.isEmpty()) {
            for (int c : m_keyColumns) {
                terms << holdsOriginal(c, params);
            }
            for (int c : changed) {
                if (!m_keyColumns.contains(c)) {
                    terms << holdsOriginal(c, params);
                }
            }
            return terms.join(QStringLiteral(" AND "));
        }
        for (int c : m_updatableColumns) {
            terms << holdsOriginal(c, params);
        }
        const QString locator = provider.rowLocator();
        return QStringLiteral("%1 IN (SELECT %1 FROM %2 WHERE %3 LIMIT 1)")
            .arg(locator, table, terms.join(QStringLiteral(" AND ")));
    };

    // After a commit the engine could not confirm, whether the change is in the file: the
    // row with these values is there (present) or is gone. Without a key nothing tells.
    const auto witness = [&](const QVector<int>& columns, const QVariantList& values,
                             bool present) {
        if (m_keyColumns.isEmpty()) {
            return;
        }
        QStringList terms;
        QVariantList probeParams;
        for (int i = 0; i < columns.size(); ++i) {
            const int c = columns[i];
            terms << columnName(c) + is + mark(probeParams);
            probeParams << values.value(i);
            // A text column may ignore case ("Old" equals "OLD"): a change of letter case
            // alone is told only by comparing the letters as they are.
            const TFieldType type = m_columns[c].type;
            if ((type == TFieldType::String || type == TFieldType::WideString ||
                 type == TFieldType::Memo) &&
                !values.value(i).isNull()) {
                terms << (server ? QStringLiteral("CAST(%1 AS text) = CAST(%2 AS text)")
                                 : QStringLiteral("%1 = %2 COLLATE BINARY"))
                             .arg(columnName(c), mark(probeParams));
                probeParams << values.value(i);
            }
        }
        const QString probe = QStringLiteral("SELECT count(*) FROM %1 WHERE %2")
                                  .arg(table, terms.join(QStringLiteral(" AND ")));
        connection->SetWitness([connection, probe, probeParams, present]() {
            TRowStore rows;
            connection->Provider().query(probe, probeParams)->fetchAll(rows);
            const bool found = rows.size() == 1 && rows.cell(0, 0).variant().toLongLong() > 0;
            return found == present;
        });
    };

    const auto conflict = [&change]() {
        if (change.kind == TChangeKind::Deleted) {
            return EConflictError(QCoreApplication::translate(
                "TDataSet",
                "Запись не удалена: её изменил или удалил другой пользователь после того, "
                "как она была прочитана. Обновите данные и, если нужно, удалите её снова."));
        }
        return EConflictError(QCoreApplication::translate(
            "TDataSet",
            "Запись не найдена для изменения: её изменил или удалил другой пользователь "
            "после того, как она была прочитана. Обновите данные и повторите изменение."));
    };

    QString sql;
    QVariantList params;
    switch (change.kind) {
        case TChangeKind::Inserted: {
            QStringList names;
            QStringList marks;
            for (int c : m_updatableColumns) {
                const QVariant v = currentOf(c);
                if (v.isValid() && !v.isNull()) {
                    names << columnName(c);
                    marks << mark(params);
                    params << v;
                }
            }
            sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                        .arg(table, names.join(QStringLiteral(", ")),
                                             marks.join(QStringLiteral(", ")));
            QStringList keyNames;
            for (int c : m_keyColumns) {
                keyNames << columnName(c);
            }
            if (!keyNames.isEmpty()) {
                sql += QStringLiteral(" RETURNING ") + keyNames.join(QStringLiteral(", "));
            }
            QVector<QVariantList> returned;
            provider.execute(sql, params, &returned);
            if (!returned.isEmpty()) {
                announce(returned.first());
            }
            if (returnedKey && !returned.isEmpty()) {
                *returnedKey = returned.first();
            }
            if (!returned.isEmpty() && returned.first().size() == m_keyColumns.size()) {
                witness(m_keyColumns, returned.first(), true);
            }
            return;
        }
        case TChangeKind::Modified: {
            QVector<int> changed;
            QStringList sets;
            for (int c : m_updatableColumns) {
                const QVariant now = currentOf(c);
                if (!SameValue(now, originalOf(c))) {
                    changed << c;
                    sets << columnName(c) + QStringLiteral(" = ") + mark(params);
                    params << now;
                }
            }
            if (changed.isEmpty()) {
                return;
            }
            const QString where = locate(changed, params);
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                      .arg(table, sets.join(QStringLiteral(", ")), where);
            // The row as it now reads: its key (perhaps changed) and the changed values.
            QVector<int> columns = m_keyColumns;
            for (int c : changed) {
                if (!columns.contains(c)) {
                    columns << c;
                }
            }
            QVariantList values;
            for (int c : columns) {
                values << currentOf(c);
            }
            if (provider.execute(sql, params) != 1) {
                throw conflict();
            }
            if (m_keyColumns.size() == 1) {
                // Under its old key and its new one, should the key have changed.
                announce({originalOf(m_keyColumns.first()), currentOf(m_keyColumns.first())});
            }
            witness(columns, values, true);
            return;
        }
        case TChangeKind::Deleted: {
            // The user chose to delete the record as it was read: a row another user has
            // changed since, in any column, is not the one they meant, and stays.
            const QString where =
                locate(change.unread ? QVector<int>() : m_updatableColumns, params);
            sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(table, where);
            QVariantList key;
            for (int c : m_keyColumns) {
                key << originalOf(c);
            }
            if (provider.execute(sql, params) != 1) {
                throw conflict();
            }
            announce(key);
            witness(m_keyColumns, key, false);
            return;
        }
    }
}

void TRowWriter::WriteBatch(TConnection& connection, const TRowChanges& changes) {
    std::vector<TRowStore::RowId> rows;
    rows.reserve(changes.size());
    for (const auto& c : changes) {
        rows.push_back(c.first);
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::pair<TRowStore::RowId, QVariantList>> keys;
    {
        TTransaction transaction(connection);
        for (TRowStore::RowId row : rows) {
            const TRowChange& change = changes.at(row);
            QVariantList key;
            Write(&connection, change,
                  change.kind == TChangeKind::Deleted ? nullptr : m_store.record(row),
                  change.kind == TChangeKind::Inserted ? &key : nullptr);
            if (!key.isEmpty()) {
                keys.emplace_back(row, key);
            }
        }
        transaction.Commit();
    }
    // Keys the table generated go into the inserted rows, now that they are stored.
    for (const auto& k : keys) {
        TRowBuilder b;
        b.begin(m_columns.size());
        for (int c = 0; c < m_columns.size(); ++c) {
            const int keyIndex = m_keyColumns.indexOf(c);
            b.addVariant(keyIndex >= 0 && keyIndex < k.second.size()
                             ? k.second[keyIndex]
                             : m_store.cell(k.first, c).variant());
        }
        m_store.replace(k.first, m_store.store(b.record()));
    }
}
