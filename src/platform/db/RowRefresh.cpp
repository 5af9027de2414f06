#include "platform/db/RowRefresh.h"

#include "platform/db/Connection.h"
#include "platform/db/RowSort.h"

#include <algorithm>
#include <string>
#include <unordered_map>

TRowRefresh::TRowRefresh(TRowStore& store, std::vector<TRowStore::RowId>& order,
                         TPendingChanges& pending)
    : m_store(store), m_order(order), m_pending(pending) {}

bool TRowRefresh::Refresh(const TQuery& query, const QVariantList& changed,
                          const QVariantList& created, int position, const TRowSort& sort,
                          const QVariant& go, std::optional<TRowStore::RowId>& goRow) {
    const QVariantList keys = changed + created;
    const int keyColumn = query.keyColumn;
    QString jetSql = QStringLiteral("SELECT * FROM (%1) lk_refresh WHERE lk_refresh.[%2] IN (")
                         .arg(query.commandText, query.keyName);
    TParameters parameters = query.parameters;
    QStringList names;
    for (int i = 0; i < parameters.Count(); ++i) {
        names << parameters.Items(i).Name;
    }
    for (int i = 0; i < keys.size(); ++i) {
        const QString name = QStringLiteral("lk_key%1").arg(i);
        jetSql += (i ? QStringLiteral(", :") : QStringLiteral(":")) + name;
        names << name;
    }
    jetSql += QLatin1Char(')');
    parameters.Refresh(names);
    for (int i = 0; i < keys.size(); ++i) {
        parameters.ParamByName(QStringLiteral("lk_key%1").arg(i)).SetValue(keys[i]);
    }
    TTranslationCache translation;
    const TTranslatedSql& sql = translation.For(query.connection, jetSql);
    TRowStore fresh;
    query.connection->Provider()
        .query(sql.sql, parameters.ValuesFor(sql.parameters))
        ->fetchAll(fresh);
    if (fresh.columns() != m_store.columns()) {
        return false;
    }
    const auto keyOf = [keyColumn](const TRowStore& store, TRowStore::RowId row) {
        const TCellView cell = store.cell(row, keyColumn);
        return cell.tag == TCellView::Text ? std::string(cell.data, cell.size)
                                           : cell.variant().toString().toStdString();
    };
    // The rows now held for the changed keys. A command changes the current record or
    // its neighbour (a deleted one's), so those are looked at first; a key not found
    // there is looked for in every row, in the store's own order, where its records lie.
    std::unordered_map<std::string, TRowStore::RowId> old;
    std::vector<std::string> missing;
    for (const QVariant& k : changed) {
        missing.push_back(k.toString().toStdString());
    }
    const auto take = [&](TRowStore::RowId row) {
        const std::string k = keyOf(m_store, row);
        const auto it = std::find(missing.begin(), missing.end(), k);
        if (it != missing.end()) {
            old.emplace(k, row);
            missing.erase(it);
        }
    };
    for (int p = std::max(position - 1, 0);
         p <= position + 1 && p < static_cast<int>(m_order.size()); ++p) {
        take(m_order[static_cast<std::size_t>(p)]);
    }
    for (std::size_t r = 0; r < m_store.size() && !missing.empty(); ++r) {
        const auto row = static_cast<TRowStore::RowId>(r);
        if (!m_pending.IsGone(row)) {
            take(row);
        }
    }
    // Out of the order, and in again where the sort puts them; a row read again keeps
    // its identity, so bookmarks and its place among equal sort values stay as a new
    // opening gives them. Nothing is pending, so every live row is in the order.
    for (const auto& entry : old) {
        m_order.erase(std::find(m_order.begin(), m_order.end(), entry.second));
    }
    const std::string goKey = go.isValid() ? go.toString().toStdString() : std::string();
    for (std::size_t r = 0; r < fresh.size(); ++r) {
        const auto freshRow = static_cast<TRowStore::RowId>(r);
        const std::string bytes = fresh.recordBytes(freshRow);
        const std::string k = keyOf(fresh, freshRow);
        TRowStore::RowId row;
        const auto it = old.find(k);
        if (it != old.end()) {
            row = it->second;
            m_store.replace(row, m_store.store(bytes));
            m_pending.Read(row);
            old.erase(it);
        } else {
            row = m_store.append(bytes);
        }
        if (!goKey.empty() && k == goKey) {
            goRow = row;
        }
        m_order.insert(std::lower_bound(m_order.begin(), m_order.end(), row,
                                        [&](TRowStore::RowId x, TRowStore::RowId y) {
                                            return sort.Before(m_store, x, y);
                                        }),
                       row);
    }
    // Rows the query no longer gives are gone for good, also for a later rebuild.
    for (const auto& gone : old) {
        m_pending.Gone(gone.second);
    }
    return true;
}
