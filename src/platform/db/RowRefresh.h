#pragma once

#include "platform/db/Parameters.h"
#include "platform/db/PendingChanges.h"
#include "platform/db/RowStore.h"

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

class TConnection;
class TRowSort;

// Reads the rows of some keys again with a dataset's own query and parameters, and puts
// them in their places among the rows the dataset holds: a row still in the result takes
// its new values and keeps its identity (bookmarks and its place among equal sort values
// stay as a new opening gives them), a new one joins, one no longer there goes.
class TRowRefresh final {
public:
    // The dataset's rows, their order and what it did to them.
    TRowRefresh(TRowStore& store, std::vector<TRowStore::RowId>& order, TPendingChanges& pending);

    // The query that gave the rows, and the column that keys them.
    struct TQuery {
        TConnection* connection;
        QString commandText;
        TParameters parameters;
        int keyColumn;
        QString keyName;
    };
    // changed: keys of rows held; created: keys no row holds yet. The rows near position
    // (the current one) are looked at first. False, with nothing changed, when the rows read
    // have other columns than those held. The row read for the key go, if any, is the answer.
    bool Refresh(const TQuery& query, const QVariantList& changed, const QVariantList& created,
                 int position, const TRowSort& sort, const QVariant& go,
                 std::optional<TRowStore::RowId>& goRow);

private:
    TRowStore& m_store;
    std::vector<TRowStore::RowId>& m_order;
    TPendingChanges& m_pending;
};
