#include "platform/db/DataSet.h"

#include "platform/db/Connection.h"
#include "platform/db/JetSql.h"

#include <QCoreApplication>

// Changes to the rows: editing in memory, and the cached-update writer that sends them to
// the catalogue.

void TDataSet::Edit() {
    checkActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        return;
    }
    // A change lands among all the rows, and its writing needs the connection.
    FetchRest();
    if (m_order.empty()) {
        throw EDatabaseError(tr("Нет записи для редактирования"));
    }
    fire(BeforeEdit);
    m_buffer.clear();
    for (int c = 0; c < m_columns.size(); ++c) {
        const TField* f = nullptr;
        for (const auto& field : m_fields) {
            if (field->m_column == c) {
                f = field.get();
            }
        }
        const TCellView cell = m_store.cell(currentRow(), c);
        m_buffer << (f ? cellValue(cell, *f) : cell.variant());
    }
    m_touched.fill(false, m_columns.size());
    m_modified = false;
    m_state = TDataSetState::Edit;
    notifyRecord(m_pos);
}

void TDataSet::Insert() {
    checkBrowse();
    FetchRest();
    fire(BeforeInsert);
    m_buffer.clear();
    for (int c = 0; c < m_columns.size(); ++c) {
        m_buffer << QVariant();
    }
    m_touched.fill(true, m_columns.size());
    m_modified = false;
    m_state = TDataSetState::Insert;
    notifyRecord(m_pos);
}

void TDataSet::Append() {
    checkBrowse();
    if (!m_order.empty()) {
        moveTo(LoadedCount() - 1, false, true);
    }
    Insert();
}

void TDataSet::RefreshCurrentValue(const TField& field, const QVariant& value) {
    checkBrowse();
    if (m_pos < 0 || field.Column() < 0) {
        return;
    }
    const TRowStore::RowId row = currentRow();
    TRowBuilder b;
    b.begin(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c) {
        b.addVariant(c == field.Column() ? value : m_store.cell(row, c).variant());
    }
    m_store.replace(row, m_store.store(b.record()));
    notifyRecord(m_pos);
}

std::string TDataSet::buildRecord() const {
    TRowBuilder b;
    b.begin(m_columns.size());
    for (int c = 0; c < m_buffer.size(); ++c) {
        // A column nobody set keeps its stored value exactly (a Boolean stored as -1 stays).
        b.addVariant(m_state == TDataSetState::Edit && !m_touched.value(c)
                         ? m_store.cell(currentRow(), c).variant()
                         : m_buffer[c]);
    }
    return b.record();
}

void TDataSet::Post() {
    checkActive();
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        return;
    }
    fire(BeforePost);
    const std::string record = buildRecord();
    if (m_state == TDataSetState::Edit) {
        const TRowStore::RowId row = currentRow();
        const char* before = m_store.record(row);
        const char* stored = m_store.store(record);
        if (m_lockType == TLockType::BatchOptimistic) {
            if (!m_changes.count(row)) {
                m_changes[row] = {TChangeKind::Modified, before};
            }
        } else {
            writeRowChange(row, {TChangeKind::Modified, before}, stored, nullptr);
        }
        m_store.replace(row, stored);
        m_state = TDataSetState::Browse;
        notifyRecord(m_pos);
    } else {
        QVariantList returnedKey;
        if (m_lockType != TLockType::BatchOptimistic) {
            m_store.append(record);
            const auto row = static_cast<TRowStore::RowId>(m_store.size() - 1);
            try {
                writeRowChange(row, {TChangeKind::Inserted, nullptr}, m_store.record(row),
                               &returnedKey);
            } catch (...) {
                m_dead.insert(row);
                throw;
            }
            m_unread.insert(row);
        } else {
            m_store.append(record);
        }
        const auto row = static_cast<TRowStore::RowId>(m_store.size() - 1);
        if (m_lockType == TLockType::BatchOptimistic) {
            m_changes[row] = {TChangeKind::Inserted, nullptr};
        } else if (!returnedKey.isEmpty()) {
            for (int k = 0; k < m_keyColumns.size() && k < returnedKey.size(); ++k) {
                m_buffer[m_keyColumns[k]] = returnedKey[k];
            }
            m_store.replace(row, m_store.store(buildRecord()));
        }
        const int at = m_pos < 0 ? 0 : (m_eof ? LoadedCount() : m_pos);
        m_order.insert(m_order.begin() + at, row);
        m_state = TDataSetState::Browse;
        m_pos = at;
        m_bof = false;
        m_eof = false;
        notifyChanged();
        notifyScrolled();
    }
    m_buffer.clear();
    m_modified = false;
}

void TDataSet::Cancel() {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        return;
    }
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    m_modified = false;
    notifyRecord(m_pos);
}

void TDataSet::Delete() {
    checkActive();
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (m_state == TDataSetState::Edit) {
        Cancel();
    }
    FetchRest();
    if (m_order.empty()) {
        throw EDatabaseError(tr("Нет записи для удаления"));
    }
    fire(BeforeDelete);
    const TRowStore::RowId row = currentRow();
    if (m_lockType == TLockType::BatchOptimistic) {
        const auto it = m_changes.find(row);
        if (it != m_changes.end() && it->second.kind == TChangeKind::Inserted) {
            m_changes.erase(it);
            m_dead.insert(row);
        } else if (it != m_changes.end()) {
            it->second.kind = TChangeKind::Deleted;
            it->second.unread = m_unread.count(row) > 0;
        } else {
            m_changes[row] = {TChangeKind::Deleted, m_store.record(row), m_unread.count(row) > 0};
        }
    } else {
        writeRowChange(row, {TChangeKind::Deleted, m_store.record(row), m_unread.count(row) > 0},
                       nullptr, nullptr);
        m_dead.insert(row);
    }
    m_order.erase(m_order.begin() + m_pos);
    if (m_pos >= LoadedCount()) {
        m_pos = LoadedCount() - 1;
    }
    m_bof = m_pos <= 0;
    m_eof = m_order.empty();
    notifyChanged();
    notifyScrolled();
}

void TDataSet::DeleteInCatalogue() {
    checkBrowse();
    FetchRest();
    if (m_order.empty()) {
        throw EDatabaseError(tr("Нет записи для удаления"));
    }
    const TRowStore::RowId row = currentRow();
    writeRowChange(row, {TChangeKind::Deleted, m_store.record(row), m_unread.count(row) > 0},
                   nullptr, nullptr);
}

void TDataSet::writeRowChange(TRowStore::RowId row, const TRowChange& change, const char* current,
                              QVariantList* returnedKey) {
    (void)row;
    // A lone write commits by itself; in a transaction of its own, a commit the engine
    // cannot confirm is settled from what the file holds, as every other commit is.
    if (!m_connection || m_connection->InTransaction()) {
        writeRowChangeInTransaction(change, current, returnedKey);
        return;
    }
    TTransaction own(*m_connection);
    writeRowChangeInTransaction(change, current, returnedKey);
    own.Commit();
}

void TDataSet::writeRowChangeInTransaction(const TRowChange& change, const char* current,
                                           QVariantList* returnedKey) {
    if (m_updateTable.isEmpty() || m_updatableColumns.isEmpty()) {
        throw EDatabaseError(tr("Набор данных нельзя изменить: неизвестна таблица"));
    }
    TDbProvider& provider = m_connection->Writer();
    const QString table = JetQuotedString(m_updateTable);
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
        provider.noteChangedRows(m_updateTable, texts);
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
        TConnection* connection = m_connection;
        connection->SetWitness([connection, probe, probeParams, present]() {
            TRowStore rows;
            connection->Provider().query(probe, probeParams)->fetchAll(rows);
            const bool found = rows.size() == 1 && rows.cell(0, 0).variant().toLongLong() > 0;
            return found == present;
        });
    };

    const auto conflict = [&change]() {
        if (change.kind == TChangeKind::Deleted) {
            return EConflictError(
                tr("Запись не удалена: её изменил или удалил другой пользователь после того, "
                   "как она была прочитана. Обновите данные и, если нужно, удалите её снова."));
        }
        return EConflictError(
            tr("Запись не найдена для изменения: её изменил или удалил другой пользователь "
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

void TDataSet::UpdateBatch() {
    checkBrowse();
    if (m_changes.empty()) {
        return;
    }
    std::vector<TRowStore::RowId> rows;
    rows.reserve(m_changes.size());
    for (const auto& c : m_changes) {
        rows.push_back(c.first);
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::pair<TRowStore::RowId, QVariantList>> keys;
    {
        TTransaction transaction(*m_connection);
        for (TRowStore::RowId row : rows) {
            const TRowChange& change = m_changes.at(row);
            QVariantList key;
            writeRowChange(row, change,
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
    for (const auto& c : m_changes) {
        if (c.second.kind == TChangeKind::Deleted) {
            m_dead.insert(c.first);
        } else if (c.second.kind == TChangeKind::Inserted) {
            m_unread.insert(c.first);
        }
    }
    m_changes.clear();
    notifyChanged();
}

void TDataSet::CancelBatch() {
    checkActive();
    Cancel();
    if (m_changes.empty()) {
        return;
    }
    const bool hasRow = m_pos >= 0;
    const TRowStore::RowId row = currentRow();
    for (const auto& c : m_changes) {
        if (c.second.kind == TChangeKind::Inserted) {
            m_dead.insert(c.first);
        } else {
            m_store.replace(c.first, c.second.original);
        }
    }
    m_changes.clear();
    rebuildOrder();
    const int p = hasRow ? positionOf(row) : -1;
    if (p >= 0) {
        m_pos = p;
    } else {
        resetCursor();
    }
    m_eof = m_order.empty();
    notifyChanged();
    notifyScrolled();
}
