#include "platform/db/DataSet.h"

#include "platform/db/Connection.h"
#include "platform/db/TextFold.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace {

QString quoteIdent(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

bool sameValue(const QVariant& a, const QVariant& b) {
    const bool an = !a.isValid() || a.isNull();
    const bool bn = !b.isValid() || b.isNull();
    if (an || bn) {
        return an == bn;
    }
    return a == b;
}

}  // namespace

TDataSet::TDataSet(QObject* parent) : QObject(parent) {}

TDataSet::~TDataSet() {
    m_observers.clear();
    m_state = TDataSetState::Inactive;
    if (m_connection) {
        m_connection->UnregisterDataSet(this);
    }
}

void TDataSet::SetConnection(TConnection* connection) {
    if (m_connection == connection) {
        return;
    }
    Close();
    if (m_connection) {
        m_connection->UnregisterDataSet(this);
    }
    m_connection = connection;
    if (m_connection) {
        m_connection->RegisterDataSet(this);
    }
}

void TDataSet::DetachConnection() {
    m_connection = nullptr;
    m_state = TDataSetState::Inactive;
}

void TDataSet::SetCommandText(const QString& jetSql) {
    Close();
    m_commandText = jetSql;
    m_translation.Reset();
    m_parameters.Refresh(m_translation.For(m_connection, jetSql).names);
}

TField& TDataSet::AddField(const QString& name, TFieldKind kind) {
    if (Active()) {
        throw EError(tr("Нельзя добавить поле в открытый набор данных"));
    }
    m_fields.push_back(std::make_unique<TField>(this, name, kind));
    m_fields.back()->Declared = true;
    notifyChanged();  // a grid shows declared fields as columns before the first opening
    return *m_fields.back();
}

void TDataSet::ClearDeclaredFields() {
    Close();
    m_fields.clear();
    notifyChanged();
}

TField* TDataSet::FindField(const QString& name) const {
    for (const auto& f : m_fields) {
        if (f->FieldName.compare(name, Qt::CaseInsensitive) == 0) {
            return f.get();
        }
    }
    return nullptr;
}

TField& TDataSet::FieldByName(const QString& name) const {
    if (TField* f = FindField(name)) {
        return *f;
    }
    throw EDatabaseError(tr("Поле '%1' не найдено").arg(name));
}

void TDataSet::fire(const TEvent& event) {
    if (event) {
        event(*this);
    }
}

// ---------------------------------------------------------------- opening

void TDataSet::Open() {
    if (Active()) {
        return;
    }
    if (!m_connection) {
        throw EDatabaseError(tr("Набор данных не связан с соединением"));
    }
    fire(BeforeOpen);
    const TTranslatedSql& sql = m_translation.For(m_connection, m_commandText);
    const QVariantList values = m_parameters.ValuesFor(sql.parameters);
    std::unique_ptr<TDbCursor> cursor = m_connection->Provider().query(sql.sql, values);
    cursor->fetchAll(m_store);
    m_columns = cursor->columns();
    try {
        bindFields(m_columns);
    } catch (...) {
        m_store.reset(0);
        m_columns.clear();
        throw;
    }
    findUpdateTarget(m_columns);
    m_changes.clear();
    m_dead.clear();
    m_state = TDataSetState::Browse;
    rebuildOrder();
    resetCursor();
    notifyChanged();
    fire(AfterOpen);
}

void TDataSet::bindFields(const QVector<TColumnInfo>& columns) {
    // Fields made at an earlier opening go; declared ones stay and are bound anew.
    m_fields.erase(std::remove_if(m_fields.begin(), m_fields.end(),
                                  [](const std::unique_ptr<TField>& f) { return !f->Declared; }),
                   m_fields.end());
    const auto columnOf = [&columns](const QString& name) {
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0) {
                return i;
            }
        }
        return -1;
    };
    if (m_fields.empty()) {
        for (int i = 0; i < columns.size(); ++i) {
            auto f = std::make_unique<TField>(this, columns[i].name, TFieldKind::Data);
            f->DataType = columns[i].type;
            f->Size = columns[i].size;
            f->m_column = i;
            m_fields.push_back(std::move(f));
        }
        return;
    }
    for (const auto& f : m_fields) {
        if (f->FieldKind != TFieldKind::Data) {
            continue;
        }
        const int c = columnOf(f->FieldName);
        if (c < 0) {
            throw EDatabaseError(tr("Поле '%1' не найдено").arg(f->FieldName));
        }
        f->m_column = c;
        f->DataType = columns[c].type;
        f->Size = columns[c].size;
    }
}

void TDataSet::findUpdateTarget(const QVector<TColumnInfo>& columns) {
    m_updateTable.clear();
    m_keyColumns.clear();
    m_updatableColumns.clear();
    for (int i = 0; i < columns.size(); ++i) {
        const TColumnInfo& c = columns[i];
        if (c.table.isEmpty() || c.column.isEmpty()) {
            continue;
        }
        if (m_updateTable.isEmpty()) {
            m_updateTable = c.table;
        }
        if (c.table.compare(m_updateTable, Qt::CaseInsensitive) == 0) {
            m_updatableColumns << i;
        }
    }
    if (m_updateTable.isEmpty()) {
        return;
    }
    const QStringList key = m_connection->Provider().primaryKey(m_updateTable);
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

void TDataSet::Close() {
    if (!Active()) {
        return;
    }
    fire(BeforeClose);
    m_state = TDataSetState::Inactive;
    m_store.reset(0);
    m_order.clear();
    m_order.shrink_to_fit();
    m_changes.clear();
    m_dead.clear();
    m_buffer.clear();
    m_pos = -1;
    m_bof = m_eof = true;
    m_fields.erase(std::remove_if(m_fields.begin(), m_fields.end(),
                                  [](const std::unique_ptr<TField>& f) { return !f->Declared; }),
                   m_fields.end());
    notifyChanged();
    fire(AfterClose);
}

void TDataSet::Requery() {
    checkActive();
    Close();
    Open();
}

void TDataSet::checkActive() const {
    if (!Active()) {
        throw EDatabaseError(tr("Операция невозможна на закрытом наборе данных"));
    }
}

// Navigation posts a pending edit first, as moving off a changed record does.
void TDataSet::checkBrowse() {
    checkActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        Post();
    }
}

// ---------------------------------------------------------------- navigation

void TDataSet::resetCursor() {
    m_pos = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
}

void TDataSet::moveTo(int position, bool bof, bool eof) {
    const bool moved = position != m_pos;
    if (moved) {
        fire(BeforeScroll);
    }
    m_pos = position;
    m_bof = bof;
    m_eof = eof;
    if (moved) {
        notifyScrolled();
        fire(AfterScroll);
    }
}

void TDataSet::First() {
    checkBrowse();
    moveTo(m_order.empty() ? -1 : 0, true, m_order.empty());
}

void TDataSet::Last() {
    checkBrowse();
    moveTo(m_order.empty() ? -1 : RecordCount() - 1, m_order.empty(), true);
}

void TDataSet::Next() {
    checkBrowse();
    if (m_pos + 1 < RecordCount()) {
        moveTo(m_pos + 1, false, false);
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior() {
    checkBrowse();
    if (m_pos > 0) {
        moveTo(m_pos - 1, false, false);
    } else {
        m_bof = true;
    }
}

int TDataSet::MoveBy(int distance) {
    checkBrowse();
    if (m_order.empty()) {
        return 0;
    }
    const int target = std::clamp(m_pos + distance, 0, RecordCount() - 1);
    const int moved = target - m_pos;
    moveTo(target, distance < 0 && moved != distance, distance > 0 && moved != distance);
    return moved;
}

void TDataSet::SetRecNo(int recNo) {
    checkBrowse();
    if (recNo < 1 || recNo > RecordCount()) {
        return;
    }
    moveTo(recNo - 1, false, false);
}

TRowStore::RowId TDataSet::currentRow() const {
    return m_pos < 0 ? 0 : m_order[static_cast<std::size_t>(m_pos)];
}

int TDataSet::positionOf(TRowStore::RowId row) const {
    const auto it = std::find(m_order.begin(), m_order.end(), row);
    return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || m_pos < 0) {
        return kNoBookmark;
    }
    return static_cast<TBookmark>(currentRow());
}

bool TDataSet::BookmarkValid(TBookmark bookmark) const {
    return Active() && bookmark >= 0 && positionOf(static_cast<TRowStore::RowId>(bookmark)) >= 0;
}

void TDataSet::GotoBookmark(TBookmark bookmark) {
    checkBrowse();
    const int p = bookmark < 0 ? -1 : positionOf(static_cast<TRowStore::RowId>(bookmark));
    if (p < 0) {
        throw EDatabaseError(tr("Запись не найдена"));
    }
    moveTo(p, false, false);
}

// ---------------------------------------------------------------- reading

QVariant TDataSet::cellValue(const TCellView& cell, const TField& field) const {
    if (cell.isNull()) {
        return QVariant();
    }
    switch (field.FieldClass()) {
        case TFieldClass::Boolean:
            if (cell.tag == TCellView::Text) {
                const QString t = cell.text().trimmed();
                return t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                       (t.toLongLong() != 0);
            }
            return cell.real() != 0.0;
        case TFieldClass::DateTime:
            if (cell.tag == TCellView::Text) {
                return QDateTime::fromString(cell.text(), Qt::ISODate);
            }
            return DateTimeFromDayNumber(cell.real());
        case TFieldClass::Integer:
            return cell.integer();
        case TFieldClass::Float:
            if (field.DataType == TFieldType::LargeInt && cell.tag == TCellView::Integer) {
                return cell.integer();
            }
            return cell.real();
        case TFieldClass::Blob:
            return cell.tag == TCellView::Text ? QVariant(QByteArray(cell.data, int(cell.size)))
                                               : cell.variant();
        default:
            if (cell.tag == TCellView::Text) {
                return cell.text();
            }
            return cell.variant().toString();
    }
}

TCellView TDataSet::CellAt(int position, const TField& field) const {
    if (!Active() || field.m_column < 0 || position < 0 || position >= RecordCount()) {
        return TCellView();
    }
    return m_store.cell(m_order[static_cast<std::size_t>(position)], field.m_column);
}

QVariant TDataSet::ValueAt(int position, const TField& field) const {
    if (!Active()) {
        return QVariant();
    }
    const bool current = position < 0 || position == m_pos;
    const int pos = position < 0 ? m_pos : position;
    switch (field.FieldKind) {
        case TFieldKind::Data:
            if (current && (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)) {
                return m_buffer.value(field.m_column);
            }
            return cellValue(CellAt(pos, field), field);
        case TFieldKind::Calculated: {
            if (!OnCalcFields) {
                return QVariant();
            }
            // Calculate for the asked row by looking at it as current for a moment.
            auto* self = const_cast<TDataSet*>(this);
            const int saved = self->m_pos;
            self->m_pos = pos;
            try {
                OnCalcFields(*self);
            } catch (...) {
                self->m_pos = saved;
                throw;
            }
            self->m_pos = saved;
            return field.m_calculated;
        }
        case TFieldKind::Lookup: {
            if (!field.LookupDataSet || !field.LookupDataSet->Active()) {
                return QVariant();
            }
            const QStringList keys = field.KeyFields.split(QLatin1Char(';'));
            const QStringList lookupKeys = field.LookupKeyFields.split(QLatin1Char(';'));
            if (keys.size() != lookupKeys.size()) {
                return QVariant();
            }
            QVariantList keyValues;
            for (const QString& k : keys) {
                keyValues << ValueAt(pos, FieldByName(k.trimmed()));
            }
            TDataSet& lookup = *field.LookupDataSet;
            const TField& result = lookup.FieldByName(field.LookupResultField);
            for (int r = 0; r < lookup.RecordCount(); ++r) {
                bool match = true;
                for (int k = 0; k < lookupKeys.size() && match; ++k) {
                    match =
                        sameValue(lookup.ValueAt(r, lookup.FieldByName(lookupKeys[k].trimmed())),
                                  keyValues[k]);
                }
                if (match) {
                    return lookup.ValueAt(r, result);
                }
            }
            return QVariant();
        }
    }
    return QVariant();
}

QString TDataSet::DisplayTextAt(int position, const TField& field) const {
    if (field.FieldKind == TFieldKind::Data && field.FieldClass() != TFieldClass::Boolean &&
        field.FieldClass() != TFieldClass::DateTime && field.FieldClass() != TFieldClass::Float &&
        field.FieldClass() != TFieldClass::Blob &&
        !(position == m_pos && m_state != TDataSetState::Browse)) {
        const TCellView c = CellAt(position, field);
        if (c.tag == TCellView::Text) {
            return c.text();
        }
    }
    return field.TextOf(ValueAt(position, field));
}

// ---------------------------------------------------------------- sort and locate

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
        std::sort(m_order.begin(), m_order.end());
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
    unsigned __int128 span = 1;
    for (const TKeyColumn& col : columns) {
        span *= static_cast<unsigned __int128>(col.top) + 1;
    }
    if (span <= std::numeric_limits<std::uint64_t>::max()) {
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
            } else if (!sameValue(v, p.value)) {
                return false;
            }
        }
        return true;
    };
    const int count = RecordCount();
    if (byRow) {
        // Test the rows in storage order, which walks memory once, then take the first hit
        // in the current order. A search that finds nothing never leaves the first pass.
        std::vector<bool> hit(m_store.size(), false);
        bool any = false;
        for (std::size_t r = 0; r < m_store.size(); ++r) {
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
}

// ---------------------------------------------------------------- changes

void TDataSet::Edit() {
    checkActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        return;
    }
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
    fire(AfterEdit);
}

void TDataSet::Insert() {
    checkBrowse();
    fire(BeforeInsert);
    m_buffer.clear();
    for (int c = 0; c < m_columns.size(); ++c) {
        m_buffer << QVariant();
    }
    m_touched.fill(true, m_columns.size());
    m_modified = false;
    m_state = TDataSetState::Insert;
    fire(OnNewRecord);
    notifyRecord(m_pos);
    fire(AfterInsert);
}

void TDataSet::Append() {
    checkBrowse();
    if (!m_order.empty()) {
        moveTo(RecordCount() - 1, false, true);
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
        const int at = m_pos < 0 ? 0 : (m_eof ? RecordCount() : m_pos);
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
    fire(AfterPost);
}

void TDataSet::Cancel() {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        return;
    }
    fire(BeforeCancel);
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    m_modified = false;
    notifyRecord(m_pos);
    fire(AfterCancel);
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
        } else {
            m_changes[row] = {TChangeKind::Deleted, m_store.record(row)};
        }
    } else {
        writeRowChange(row, {TChangeKind::Deleted, m_store.record(row)}, nullptr, nullptr);
        m_dead.insert(row);
    }
    m_order.erase(m_order.begin() + m_pos);
    if (m_pos >= RecordCount()) {
        m_pos = RecordCount() - 1;
    }
    m_bof = m_pos <= 0;
    m_eof = m_order.empty();
    notifyChanged();
    notifyScrolled();
    fire(AfterDelete);
}

void TDataSet::writeRowChange(TRowStore::RowId row, const TRowChange& change, const char* current,
                              QVariantList* returnedKey) {
    (void)row;
    if (m_updateTable.isEmpty() || m_updatableColumns.isEmpty()) {
        throw EDatabaseError(tr("Набор данных нельзя изменить: неизвестна таблица"));
    }
    TDbProvider& provider = m_connection->Provider();
    const QString table = quoteIdent(m_updateTable);
    // The next placeholder: parameters are numbered in the order they are added.
    const auto mark = [&provider](const QVariantList& params) {
        return provider.placeholder(static_cast<int>(params.size()) + 1);
    };
    const QString is = QLatin1Char(' ') + provider.nullSafeEquals() + QLatin1Char(' ');
    const auto columnName = [this](int c) { return quoteIdent(m_columns[c].column); };
    // Dates are kept as day numbers; the server takes them only as dates.
    const bool server = provider.dialect() == TSqlDialect::PostgreSQL;
    const auto bindable = [&](int c, const TCellView& cell) {
        if (server && cell.tag == TCellView::Real && m_columns[c].type == TFieldType::DateTime) {
            return QVariant(DateTimeFromDayNumber(cell.real()));
        }
        return cell.variant();
    };
    const auto originalOf = [&](int c) { return bindable(c, m_store.cellOf(change.original, c)); };
    const auto currentOf = [&](int c) { return bindable(c, m_store.cellOf(current, c)); };

    // Where the row is found: its key and the original values of the columns that
    // changed, or without a key every original value of the one first such row.
    const auto locate = [&](const QVector<int>& changed, QVariantList& params) {
        QStringList terms;
        if (!m_keyColumns.isEmpty()) {
            for (int c : m_keyColumns) {
                terms << columnName(c) + is + mark(params);
                params << originalOf(c);
            }
            for (int c : changed) {
                if (!m_keyColumns.contains(c)) {
                    terms << columnName(c) + is + mark(params);
                    params << originalOf(c);
                }
            }
            return terms.join(QStringLiteral(" AND "));
        }
        for (int c : m_updatableColumns) {
            terms << columnName(c) + is + mark(params);
            params << originalOf(c);
        }
        const QString locator = provider.rowLocator();
        return QStringLiteral("%1 IN (SELECT %1 FROM %2 WHERE %3 LIMIT 1)")
            .arg(locator, table, terms.join(QStringLiteral(" AND ")));
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
            if (returnedKey && !returned.isEmpty()) {
                *returnedKey = returned.first();
            }
            return;
        }
        case TChangeKind::Modified: {
            QVector<int> changed;
            QStringList sets;
            for (int c : m_updatableColumns) {
                const QVariant now = currentOf(c);
                if (!sameValue(now, originalOf(c))) {
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
            break;
        }
        case TChangeKind::Deleted: {
            const QString where = locate({}, params);
            sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(table, where);
            break;
        }
    }
    if (provider.execute(sql, params) != 1) {
        throw EDatabaseError(
            tr("Запись не найдена для изменения: её изменил или удалил другой пользователь "
               "после того, как она была прочитана. Обновите данные и повторите изменение."));
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

// ---------------------------------------------------------------- controls

void TDataSet::DisableControls() {
    ++m_disabled;
}

void TDataSet::EnableControls() {
    if (m_disabled > 0 && --m_disabled == 0 && m_changedWhileDisabled) {
        m_changedWhileDisabled = false;
        notifyChanged();
        notifyScrolled();
    }
}

void TDataSet::AddObserver(TDataSetObserver* observer) {
    if (!m_observers.contains(observer)) {
        m_observers.append(observer);
    }
}

void TDataSet::RemoveObserver(TDataSetObserver* observer) {
    m_observers.removeAll(observer);
}

void TDataSet::notifyChanged() {
    if (m_disabled > 0) {
        m_changedWhileDisabled = true;
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->DataSetChanged();
    }
}

void TDataSet::notifyRecord(int position) {
    if (m_disabled > 0) {
        m_changedWhileDisabled = true;
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->RecordChanged(position);
    }
}

void TDataSet::notifyScrolled() {
    if (m_disabled > 0) {
        m_changedWhileDisabled = true;
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->Scrolled(m_pos);
    }
}
