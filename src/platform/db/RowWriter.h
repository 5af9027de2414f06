#pragma once

#include "platform/db/DbProvider.h"
#include "platform/db/RowStore.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <unordered_map>

class TConnection;

enum class TChangeKind { Modified, Inserted, Deleted };

// A change of one row of a dataset, not yet written (cached updates) or being written.
struct TRowChange {
    TChangeKind kind;
    const char* original;  // the record as read; null for an inserted row
    // A row this dataset inserted: the catalogue filled in values it never read back, so
    // only its key tells it.
    bool unread = false;
};
using TRowChanges = std::unordered_map<TRowStore::RowId, TRowChange>;

// Writes a dataset's row changes to the table its result came from. A row is found by its
// key and the values it was read with, so one another user has changed or deleted since
// stays as it is (EConflictError); the others on the catalogue are told which rows
// changed; after a commit the engine cannot confirm, the connection is given a probe that
// tells from the file whether the change is in it.
class TRowWriter final {
public:
    // The rows and the result's columns of the dataset that owns the writer.
    TRowWriter(TRowStore& store, const QVector<TColumnInfo>& columns);

    // The table the result's columns come from and its key among them, as found at opening.
    void FindTarget(TDbProvider& provider);
    // The table changes are written to ("" when the result is not updatable).
    const QString& Table() const { return m_table; }
    // The result's columns that hold the table's key; empty when part of it is missing.
    const QVector<int>& KeyColumns() const { return m_keyColumns; }

    // Writes one change (current: the record as it now is; null for a deletion), in a
    // transaction of its own when none is under way; returnedKey takes the key the table
    // gave an inserted row.
    void Write(TConnection* connection, const TRowChange& change, const char* current,
               QVariantList* returnedKey) const;
    // Writes the pending changes in one transaction, in the order of the rows; keys the
    // table generated go into the inserted rows.
    void WriteBatch(TConnection& connection, const TRowChanges& changes);

private:
    void writeInTransaction(TConnection* connection, const TRowChange& change, const char* current,
                            QVariantList* returnedKey) const;

    TRowStore& m_store;
    const QVector<TColumnInfo>& m_columns;
    QString m_table;
    QVector<int> m_keyColumns;
    QVector<int> m_updatableColumns;
};
