#include "platform/db/RowSort.h"

#include "platform/db/DbProvider.h"
#include "platform/db/Field.h"
#include "platform/db/TextFold.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_map>

TRowSort::TRowSort(const QString& sort, const TFieldFinder& findField) {
    const QStringList parts = sort.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QString name = part.trimmed();
        bool descending = false;
        if (name.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) {
            descending = true;
            name.chop(5);
        } else if (name.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive)) {
            name.chop(4);
        }
        name = name.trimmed();
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))) {
            name = name.mid(1, name.size() - 2);
        }
        if (name.isEmpty()) {
            continue;
        }
        const TField* f = findField(name);
        if (!f || f->FieldKind != TFieldKind::Data) {
            throw EDatabaseError(
                QCoreApplication::translate("TDataSet", "Поле '%1' не найдено").arg(name));
        }
        const TFieldClass c = f->FieldClass();
        const bool text = c == TFieldClass::Text || c == TFieldClass::Guid ||
                          c == TFieldClass::Memo || c == TFieldClass::Other;
        m_keys.push_back({f->Column(), descending, text});
    }
}

namespace {

// Eight bytes of a key from offset skip on, big-endian, so that comparing two
// of these numbers compares those bytes.
std::uint64_t keyPrefix(const char* p, std::size_t n, std::size_t skip) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        v <<= 8;
        if (skip + i < n) {
            v |= static_cast<unsigned char>(p[skip + i]);
        }
    }
    return v;
}

// Columns such as a category repeat a few values over many rows: each value is ranked once
// and every row takes its value's rank. Tried when the first rows hold few distinct keys;
// false, with nothing done, otherwise.
template <typename KeyOf>
bool rankFewDistinct(std::size_t rows, const std::vector<bool>& nulls, const KeyOf& keyOf,
                     std::vector<std::uint32_t>& ranks) {
    constexpr std::size_t kSample = 4096;
    if (rows < 4 * kSample) {
        return false;
    }
    const auto view = [&keyOf](std::size_t r) {
        const auto [p, n] = keyOf(r);
        return std::string_view(p, n);
    };
    std::unordered_map<std::string_view, std::uint32_t> index;
    for (std::size_t r = 0; r < kSample; ++r) {
        if (!nulls[r]) {
            index.try_emplace(view(r), 0);
        }
    }
    if (index.size() > kSample / 8) {
        return false;
    }
    index.clear();
    std::vector<std::string_view> values;
    std::vector<std::uint32_t> valueOf(rows, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        if (nulls[r]) {
            continue;
        }
        const auto [it, added] =
            index.try_emplace(view(r), static_cast<std::uint32_t>(values.size()));
        if (added) {
            values.push_back(it->first);
        }
        valueOf[r] = it->second;
    }
    std::vector<std::uint32_t> sorted(values.size());
    for (std::size_t v = 0; v < sorted.size(); ++v) {
        sorted[v] = static_cast<std::uint32_t>(v);
    }
    std::sort(sorted.begin(), sorted.end(),
              [&values](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
    std::vector<std::uint32_t> rankOf(values.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        rankOf[sorted[i]] = static_cast<std::uint32_t>(i + 1);  // the values are distinct
    }
    ranks.assign(rows, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        if (!nulls[r]) {
            ranks[r] = rankOf[valueOf[r]];
        }
    }
    return true;
}

// Ranks the rows by one text column: equal keys share a rank, nulls rank 0. One sort of
// compact items that carry an eight-byte prefix behind the prefix all keys share, so most
// comparisons never leave the item array (sixteen bytes of it).
std::vector<std::uint32_t> textRanks(const TRowStore& store, int column) {
    const std::size_t rows = store.size();
    std::string bytes;
    std::vector<std::uint64_t> offsets(rows + 1);
    std::vector<bool> nulls(rows, false);
    std::string scratch;
    for (std::size_t r = 0; r < rows; ++r) {
        offsets[r] = bytes.size();
        const TCellView cell = store.cell(static_cast<TRowStore::RowId>(r), column);
        if (cell.isNull()) {
            nulls[r] = true;
        } else if (cell.tag == TCellView::Text) {
            AppendSortKey(cell.data, cell.size, bytes);
        } else {
            const QByteArray t = cell.variant().toString().toUtf8();
            AppendSortKey(t.constData(), static_cast<std::size_t>(t.size()), bytes);
        }
    }
    offsets[rows] = bytes.size();
    const auto keyOf = [&](std::size_t r) {
        return std::pair<const char*, std::size_t>(bytes.data() + offsets[r],
                                                   offsets[r + 1] - offsets[r]);
    };
    // The prefix every non-null key shares, such as "https://".
    std::size_t common = std::string::npos;
    const char* first = nullptr;
    for (std::size_t r = 0; r < rows && common != 0; ++r) {
        if (nulls[r]) {
            continue;
        }
        const auto [p, n] = keyOf(r);
        if (!first) {
            first = p;
            common = n;
            continue;
        }
        std::size_t i = 0;
        const std::size_t limit = std::min(common, n);
        while (i < limit && p[i] == first[i]) {
            ++i;
        }
        common = i;
    }
    if (common == std::string::npos) {
        common = 0;
    }
    if (std::vector<std::uint32_t> ranks; rankFewDistinct(rows, nulls, keyOf, ranks)) {
        return ranks;
    }
    struct TItem {
        std::uint64_t prefix;
        std::uint64_t next;  // the eight bytes after the prefix
        std::uint32_t row;
    };
    std::vector<TItem> items;
    items.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        if (!nulls[r]) {
            const auto [p, n] = keyOf(r);
            items.push_back({keyPrefix(p, n, common), keyPrefix(p, n, common + 8),
                             static_cast<std::uint32_t>(r)});
        }
    }
    const auto less = [&](const TItem& x, const TItem& y) {
        if (x.prefix != y.prefix) {
            return x.prefix < y.prefix;
        }
        if (x.next != y.next) {
            return x.next < y.next;
        }
        const auto [p, n] = keyOf(x.row);
        const auto [q, m] = keyOf(y.row);
        const int c = std::memcmp(p, q, std::min(n, m));
        return c != 0 ? c < 0 : n < m;
    };
    std::sort(items.begin(), items.end(), less);
    std::vector<std::uint32_t> ranks(rows, 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i == 0 || less(items[i - 1], items[i])) {
            ++rank;
        }
        ranks[items[i].row] = rank;
    }
    return ranks;
}

// Ranks the rows by one numeric column: equal values share a rank, nulls rank 0.
std::vector<std::uint32_t> numberRanks(const TRowStore& store, int column) {
    const std::size_t rows = store.size();
    std::vector<std::pair<double, std::uint32_t>> items;
    items.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const TCellView cell = store.cell(static_cast<TRowStore::RowId>(r), column);
        if (!cell.isNull()) {
            items.emplace_back(cell.real(), static_cast<std::uint32_t>(r));
        }
    }
    std::sort(items.begin(), items.end());
    std::vector<std::uint32_t> ranks(rows, 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i == 0 || items[i - 1].first < items[i].first) {
            ++rank;
        }
        ranks[items[i].second] = rank;
    }
    return ranks;
}

}  // namespace

void TRowSort::Apply(const TRowStore& store, std::vector<TRowStore::RowId>& order) const {
    const std::vector<TKey>& keys = m_keys;
    if (keys.empty()) {
        // The order of the query: rows arrive in it, so after an opening there is nothing
        // to sort, and a sort of a sorted million is not free.
        if (!std::is_sorted(order.begin(), order.end())) {
            std::sort(order.begin(), order.end());
        }
        return;
    }
    // Every key becomes a rank per row (nulls lowest); the final sort compares only those
    // and never calls a locale-aware compare.
    struct TKeyColumn {
        bool descending;
        std::vector<std::uint32_t> ranks;
        std::uint32_t top = 0;
    };
    std::vector<TKeyColumn> columns(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        TKeyColumn& col = columns[k];
        col.descending = keys[k].descending;
        col.ranks =
            keys[k].text ? textRanks(store, keys[k].column) : numberRanks(store, keys[k].column);
        for (std::uint32_t r : col.ranks) {
            col.top = std::max(col.top, r);
        }
    }
    // When the ranks of all keys fit one 64-bit number, rows sort as compact pairs.
    bool compact = true;
    std::uint64_t span = 1;
    for (const TKeyColumn& col : columns) {
        const std::uint64_t values = static_cast<std::uint64_t>(col.top) + 1;
        if (span > std::numeric_limits<std::uint64_t>::max() / values) {
            compact = false;
            break;
        }
        span *= values;
    }
    if (compact) {
        std::vector<std::pair<std::uint64_t, TRowStore::RowId>> items;
        items.reserve(order.size());
        for (TRowStore::RowId row : order) {
            std::uint64_t composite = 0;
            for (const TKeyColumn& col : columns) {
                const std::uint32_t r = col.ranks[row];
                composite = composite * (static_cast<std::uint64_t>(col.top) + 1) +
                            (col.descending ? col.top - r : r);
            }
            items.emplace_back(composite, row);
        }
        std::sort(items.begin(), items.end());
        for (std::size_t i = 0; i < items.size(); ++i) {
            order[i] = items[i].second;
        }
        return;
    }
    const auto compare = [&columns](TRowStore::RowId a, TRowStore::RowId b) {
        for (const TKeyColumn& col : columns) {
            if (col.ranks[a] != col.ranks[b]) {
                return col.descending ? col.ranks[a] > col.ranks[b] : col.ranks[a] < col.ranks[b];
            }
        }
        return a < b;
    };
    std::sort(order.begin(), order.end(), compare);
}

bool TRowSort::Before(const TRowStore& store, TRowStore::RowId a, TRowStore::RowId b) const {
    // The same order Apply gives by ranks: nulls lowest, texts by their sort keys,
    // numbers by value, a descending key reversed, ties by arrival.
    std::string keyA;
    std::string keyB;
    const auto textKey = [](const TCellView& cell, std::string& out) {
        out.clear();
        if (cell.tag == TCellView::Text) {
            AppendSortKey(cell.data, cell.size, out);
        } else {
            const QByteArray t = cell.variant().toString().toUtf8();
            AppendSortKey(t.constData(), static_cast<std::size_t>(t.size()), out);
        }
    };
    for (const TKey& key : m_keys) {
        const TCellView x = store.cell(a, key.column);
        const TCellView y = store.cell(b, key.column);
        int c = 0;
        if (x.isNull() || y.isNull()) {
            c = x.isNull() == y.isNull() ? 0 : (x.isNull() ? -1 : 1);
        } else if (key.text) {
            textKey(x, keyA);
            textKey(y, keyB);
            c = keyA.compare(keyB);
        } else {
            const double u = x.real();
            const double v = y.real();
            c = u < v ? -1 : (v < u ? 1 : 0);
        }
        if (c != 0) {
            return key.descending ? c > 0 : c < 0;
        }
    }
    return a < b;
}
