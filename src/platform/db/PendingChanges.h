#pragma once

#include "platform/db/RowStore.h"
#include "platform/db/RowWriter.h"

#include <unordered_set>

// What a dataset has done to its rows beyond reading them: the changes held for one batch
// write (cached updates), the rows gone for good (deleted, or inserted and then given up)
// and the rows it inserted and has not read since, whose other values the catalogue filled
// in.
class TPendingChanges final {
public:
    void Clear();
    bool Empty() const { return m_changes.empty(); }
    const TRowChanges& Changes() const { return m_changes; }

    // Whether the row is out of the dataset's order: deleted, for good or in a held change.
    bool Hidden(TRowStore::RowId row) const;
    bool IsGone(TRowStore::RowId row) const { return m_gone.count(row) > 0; }
    void Gone(TRowStore::RowId row) { m_gone.insert(row); }
    bool Unread(TRowStore::RowId row) const { return m_unread.count(row) > 0; }
    // An inserted row was written; its values are now partly the catalogue's.
    void Inserted(TRowStore::RowId row) { m_unread.insert(row); }
    // The row was read again from the catalogue.
    void Read(TRowStore::RowId row) { m_unread.erase(row); }

    // Held for the batch: the first edit of a row keeps the record as read.
    void HoldEdit(TRowStore::RowId row, const char* before);
    void HoldInsert(TRowStore::RowId row);
    void HoldDelete(TRowStore::RowId row, const char* record);
    // The held changes are written: deleted rows are gone, inserted ones unread.
    void Written();
    // The held changes are given up: changed rows take their records as read again,
    // inserted ones go.
    void Revert(TRowStore& store);

private:
    TRowChanges m_changes;
    std::unordered_set<TRowStore::RowId> m_gone;
    std::unordered_set<TRowStore::RowId> m_unread;
};
