#include "platform/db/PendingChanges.h"

void TPendingChanges::Clear() {
    m_changes.clear();
    m_gone.clear();
    m_unread.clear();
}

bool TPendingChanges::Hidden(TRowStore::RowId row) const {
    const auto it = m_changes.find(row);
    return (it != m_changes.end() && it->second.kind == TChangeKind::Deleted) || IsGone(row);
}

void TPendingChanges::HoldEdit(TRowStore::RowId row, const char* before) {
    if (!m_changes.count(row)) {
        m_changes[row] = {TChangeKind::Modified, before};
    }
}

void TPendingChanges::HoldInsert(TRowStore::RowId row) {
    m_changes[row] = {TChangeKind::Inserted, nullptr};
}

void TPendingChanges::HoldDelete(TRowStore::RowId row, const char* record) {
    const auto it = m_changes.find(row);
    if (it != m_changes.end() && it->second.kind == TChangeKind::Inserted) {
        m_changes.erase(it);
        m_gone.insert(row);
    } else if (it != m_changes.end()) {
        it->second.kind = TChangeKind::Deleted;
        it->second.unread = Unread(row);
    } else {
        m_changes[row] = {TChangeKind::Deleted, record, Unread(row)};
    }
}

void TPendingChanges::Written() {
    for (const auto& c : m_changes) {
        if (c.second.kind == TChangeKind::Deleted) {
            m_gone.insert(c.first);
        } else if (c.second.kind == TChangeKind::Inserted) {
            m_unread.insert(c.first);
        }
    }
    m_changes.clear();
}

void TPendingChanges::Revert(TRowStore& store) {
    for (const auto& c : m_changes) {
        if (c.second.kind == TChangeKind::Inserted) {
            m_gone.insert(c.first);
        } else {
            store.replace(c.first, c.second.original);
        }
    }
    m_changes.clear();
}
