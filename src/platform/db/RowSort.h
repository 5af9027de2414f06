#pragma once

#include "platform/db/RowStore.h"

#include <QString>

#include <functional>
#include <vector>

class TField;

// The client-side order of a dataset's rows: a sort text such as "URL ASC,Category DESC"
// read into keys, the rows held put in that order, and the place of one row among them.
// Nulls come lowest, texts by their sort keys, numbers by value; ties keep the order the
// rows came in.
class TRowSort final {
public:
    using TFieldFinder = std::function<const TField*(const QString&)>;

    // The keys of a sort text (empty: the order of the query); a name that is no data field
    // throws.
    TRowSort(const QString& sort, const TFieldFinder& findField);

    bool Empty() const { return m_keys.empty(); }
    // Puts the rows in the order of the keys.
    void Apply(const TRowStore& store, std::vector<TRowStore::RowId>& order) const;
    // Whether row a comes before row b.
    bool Before(const TRowStore& store, TRowStore::RowId a, TRowStore::RowId b) const;

private:
    struct TKey {
        int column;
        bool descending;
        bool text;
    };
    std::vector<TKey> m_keys;
};
