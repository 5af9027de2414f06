#include "platform/db/DataSet.h"

#include "platform/db/TextFold.h"
#include "platform/db/TextSearch.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_map>

// The client-side sort of the rows in memory, and Locate.

std::vector<TDataSet::TSortKey> TDataSet::parseSort(const QString& sort) const {
    std::vector<TSortKey> keys;
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
        const TField* f = FindField(name);
        if (!f || f->FieldKind != TFieldKind::Data) {
            throw EDatabaseError(tr("Поле '%1' не найдено").arg(name));
        }
        const TFieldClass c = f->FieldClass();
        const bool text = c == TFieldClass::Text || c == TFieldClass::Guid ||
                          c == TFieldClass::Memo || c == TFieldClass::Other;
        keys.push_back({f->m_column, descending, text});
    }
    return keys;
}

void TDataSet::SetSort(const QString& sort) {
    if (!Active()) {
        m_sort = sort;
        return;
    }
    checkBrowse();
    // Rows still arriving come in the order of the query, which is what no sort asks for.
    if (Fetching() && sort.trimmed().isEmpty() && m_sort.trimmed().isEmpty()) {
        return;
    }
    FetchRest();
    parseSort(sort);  // an unknown field leaves the old order in place
    m_sort = sort;
    const bool hasRow = m_pos >= 0;
    const TRowStore::RowId row = currentRow();
    applySort();
    m_pos = hasRow ? positionOf(row) : -1;
    m_bof = m_pos <= 0;
    m_eof = m_order.empty();
    notifyChanged();
    notifyScrolled();
}

void TDataSet::rebuildOrder() {
    m_order.clear();
    m_order.reserve(m_store.size());
    for (std::size_t r = 0; r < m_store.size(); ++r) {
        const auto row = static_cast<TRowStore::RowId>(r);
        const auto it = m_changes.find(row);
        if ((it != m_changes.end() && it->second.kind == TChangeKind::Deleted) ||
            m_dead.count(row)) {
            continue;
        }
        m_order.push_back(row);
    }
    applySort();
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

}  // namespace

namespace {

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

void TDataSet::applySort() {
    const std::vector<TSortKey> keys = parseSort(m_sort);
    if (keys.empty()) {
        // The order of the query: rows arrive in it, so after an opening there is nothing
        // to sort, and a sort of a sorted million is not free.
        if (!std::is_sorted(m_order.begin(), m_order.end())) {
            std::sort(m_order.begin(), m_order.end());
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
        col.ranks = keys[k].text ? textRanks(m_store, keys[k].column)
                                 : numberRanks(m_store, keys[k].column);
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
        items.reserve(m_order.size());
        for (TRowStore::RowId row : m_order) {
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
            m_order[i] = items[i].second;
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
    std::sort(m_order.begin(), m_order.end(), compare);
}

bool TDataSet::rowBefore(const std::vector<TSortKey>& keys, TRowStore::RowId a,
                         TRowStore::RowId b) const {
    // The same order applySort gives by ranks: nulls lowest, texts by their sort keys,
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
    for (const TSortKey& key : keys) {
        const TCellView x = m_store.cell(a, key.column);
        const TCellView y = m_store.cell(b, key.column);
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

bool TDataSet::Locate(const QString& fieldNames, const QVariantList& values,
                      TLocateOptions options) {
    checkBrowse();
    const QStringList names = fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.size() != values.size() || names.isEmpty()) {
        throw EDatabaseError(tr("Число полей и значений поиска не совпадает"));
    }
    struct TProbe {
        const TField* field;
        QVariant value;
        bool null;
        std::u32string folded;  // for text fields
        QByteArray utf8;        // for case-sensitive text
    };
    std::vector<TProbe> probes;
    for (int i = 0; i < names.size(); ++i) {
        const TField& f = FieldByName(names[i].trimmed());
        TProbe p{&f, values[i], !values[i].isValid() || values[i].isNull(), {}, {}};
        if (!p.null && IsTextType(f.DataType) && f.FieldKind == TFieldKind::Data) {
            p.utf8 = values[i].toString().toUtf8();
            FoldUtf8(p.utf8.constData(), static_cast<std::size_t>(p.utf8.size()), p.folded);
        } else if (!p.null) {
            p.value = f.Converted(values[i]);
        }
        probes.push_back(std::move(p));
    }
    const bool caseless = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    bool byRow = true;  // every probe reads a stored column: rows can be tested in any order
    for (const TProbe& p : probes) {
        byRow = byRow && p.field->FieldKind == TFieldKind::Data;
    }
    const auto matches = [&](int pos, TRowStore::RowId row) {
        for (const TProbe& p : probes) {
            const bool data = p.field->FieldKind == TFieldKind::Data;
            if (data && IsTextType(p.field->DataType) && !p.null) {
                const TCellView c = m_store.cell(row, p.field->m_column);
                if (c.tag != TCellView::Text) {
                    return false;
                }
                if (caseless) {
                    if (partial) {
                        if (!StartsWithFolded(c.data, c.size, p.folded)) {
                            return false;
                        }
                    } else if (CompareFolded(c.data, c.size, p.utf8.constData(),
                                             static_cast<std::size_t>(p.utf8.size())) != 0) {
                        return false;
                    }
                } else {
                    const auto n = static_cast<std::uint32_t>(p.utf8.size());
                    if (partial
                            ? (c.size < n || std::memcmp(c.data, p.utf8.constData(), n) != 0)
                            : (c.size != n || std::memcmp(c.data, p.utf8.constData(), n) != 0)) {
                        return false;
                    }
                }
                continue;
            }
            const QVariant v = data ? cellValue(m_store.cell(row, p.field->m_column), *p.field)
                                    : ValueAt(pos, *p.field);
            const bool vNull = !v.isValid() || v.isNull();
            if (p.null || vNull) {
                if (p.null != vNull) {
                    return false;
                }
                continue;
            }
            if (IsTextType(p.field->DataType)) {
                const QString a = v.toString();
                const QString b = p.value.toString();
                const Qt::CaseSensitivity cs = caseless ? Qt::CaseInsensitive : Qt::CaseSensitive;
                if (partial ? !a.startsWith(b, cs) : a.compare(b, cs) != 0) {
                    return false;
                }
            } else if (!SameValue(v, p.value)) {
                return false;
            }
        }
        return true;
    };
    // While the rest is read, the rows held are the result's first in its order (there is
    // no sort then): a hit among them is the answer a full search gives.
    const auto search = [&]() {
        const int count = LoadedCount();
        if (byRow) {
            // A search box mostly finds what it looks for among the first rows: those are
            // tried first, in the current order.
            const int early = std::min(count, 2048);
            for (int pos = 0; pos < early; ++pos) {
                if (matches(pos, m_order[static_cast<std::size_t>(pos)])) {
                    moveTo(pos, false, false);
                    return true;
                }
            }
            if (early == count) {
                return false;
            }
            // Then the rows in storage order, which walks memory once, and the first hit in
            // the current order. A search that finds nothing never leaves that pass.
            std::vector<bool> hit(m_store.size(), false);
            bool any = false;
            for (std::size_t r = 0; r < m_store.size(); ++r) {
                m_store.prefetchRecord(static_cast<TRowStore::RowId>(r + 16));
                for (const TProbe& p : probes) {
                    m_store.prefetchCell(static_cast<TRowStore::RowId>(r + 8), p.field->m_column);
                }
                if (matches(-1, static_cast<TRowStore::RowId>(r))) {
                    hit[r] = true;
                    any = true;
                }
            }
            for (int pos = 0; any && pos < count; ++pos) {
                if (hit[m_order[static_cast<std::size_t>(pos)]]) {
                    moveTo(pos, false, false);
                    return true;
                }
            }
            return false;
        }
        for (int pos = 0; pos < count; ++pos) {
            if (matches(pos, m_order[static_cast<std::size_t>(pos)])) {
                moveTo(pos, false, false);
                return true;
            }
        }
        return false;
    };
    if (search()) {
        return true;
    }
    if (!Fetching()) {
        return false;
    }
    FetchRest();
    return search();
}

int TDataSet::FindText(const QList<const TField*>& fields, const QString& text, int from,
                       bool forward, bool anywhere) {
    checkBrowse();
    if (text.isEmpty() || fields.isEmpty()) {
        return -1;
    }
    FetchRest();
    std::vector<TSearchColumn> columns;
    QList<const TField*> computed;
    for (const TField* f : fields) {
        if (f->FieldClass() == TFieldClass::Boolean) {
            continue;  // shown as a mark, not as a word to find
        }
        if (f->FieldKind != TFieldKind::Data) {
            computed << f;
            continue;
        }
        TSearchColumn c;
        c.column = f->m_column;
        if (!IsTextType(f->DataType)) {
            c.kind = f->FieldClass() == TFieldClass::Integer    ? TSearchColumn::Integer
                     : f->FieldClass() == TFieldClass::DateTime ? TSearchColumn::DateTime
                                                                : TSearchColumn::Other;
            c.shown = [this, f](const TCellView& cell) { return f->TextOf(cellValue(cell, *f)); };
        }
        columns.push_back(std::move(c));
    }
    std::function<QStringList(int)> shownAt;
    if (!computed.isEmpty()) {
        shownAt = [this, computed](int pos) {
            QStringList shown;
            for (const TField* f : computed) {
                shown << DisplayTextAt(pos, *f);
            }
            return shown;
        };
    }
    const TTextSearch search(m_store, text, anywhere, std::move(columns), std::move(shownAt));
    return search.First(m_order, from, forward);
}
