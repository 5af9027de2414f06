#include "platform/db/DataSet.h"

#include "platform/db/Connection.h"

#include <algorithm>
#include <utility>

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

bool TDataSet::ChangedElsewhere() const {
    // Nothing is heard of the changes made while a session was down: rows read through an
    // earlier opening of the connection count as changed.
    return Active() && m_changeStamp && m_connection->Connected() &&
           (m_connection->Epoch() != m_openEpoch ||
            m_connection->Provider().changeStamp() != m_changeStamp);
}

bool TDataSet::RefreshChangedElsewhere(const QString& keyField) {
    if (!Active() || !m_changeStamp || !m_connection->Connected() ||
        m_connection->Epoch() != m_openEpoch) {
        return false;
    }
    const TField* key = FindField(keyField);
    if (!key || key->FieldKind != TFieldKind::Data || key->m_column < 0) {
        return false;
    }
    TDbProvider& provider = m_connection->Provider();
    const std::optional<qint64> now = provider.changeStamp();
    if (!now) {
        return false;
    }
    const std::optional<QStringList> keys =
        provider.keysChangedSince(*m_changeStamp, *now, m_columns[key->m_column].table);
    if (!keys) {
        return false;
    }
    QVariantList changed;
    for (const QString& k : *keys) {
        changed << k;
    }
    // Read as of now: the rows named are read again, and nothing else changed since.
    const std::optional<qint64> before = std::exchange(m_changeStamp, now);
    // Rows without a sort have no order of the server's to keep to: a row read again keeps
    // its place, a new one comes last.
    if (!refreshRows(keyField, changed, {}, QVariant(), true)) {
        m_changeStamp = before;
        return false;
    }
    return true;
}

bool TDataSet::RefreshRows(const QString& keyField, const QVariantList& changed,
                           const QVariantList& created, const QVariant& go) {
    return refreshRows(keyField, changed, created, go, false);
}

bool TDataSet::refreshRows(const QString& keyField, const QVariantList& changed,
                           const QVariantList& created, const QVariant& go, bool anyOrder) {
    // Beyond a few keys one reading of the whole query is as quick.
    constexpr int kMaxKeys = 64;
    const TField* key = FindField(keyField);
    const QVariantList keys = changed + created;
    FetchRest();
    if (m_state != TDataSetState::Browse || !m_changes.empty() || !key ||
        key->FieldKind != TFieldKind::Data || key->m_column < 0 || keys.size() > kMaxKeys ||
        !m_changeStamp || ChangedElsewhere() ||
        (m_sort.isEmpty() && !anyOrder && !m_connection->Provider().stableOrder())) {
        return false;
    }
    if (keys.isEmpty()) {
        return true;
    }
    const int keyColumn = key->m_column;
    QString jetSql = QStringLiteral("SELECT * FROM (%1) lk_refresh WHERE lk_refresh.[%2] IN (")
                         .arg(m_commandText, m_columns[keyColumn].name);
    TParameters parameters = m_parameters;
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
    const TTranslatedSql& sql = translation.For(m_connection, jetSql);
    TRowStore fresh;
    m_connection->Provider().query(sql.sql, parameters.ValuesFor(sql.parameters))->fetchAll(fresh);
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
    for (int p = std::max(m_pos - 1, 0); p <= m_pos + 1 && p < LoadedCount(); ++p) {
        take(m_order[static_cast<std::size_t>(p)]);
    }
    for (std::size_t r = 0; r < m_store.size() && !missing.empty(); ++r) {
        const auto row = static_cast<TRowStore::RowId>(r);
        if (!m_dead.count(row)) {
            take(row);
        }
    }
    // Out of the order, and in again where the sort puts them; a row read again keeps
    // its identity, so bookmarks and its place among equal sort values stay as a new
    // opening gives them. Nothing is pending, so every live row is in the order.
    const bool hadRow = m_pos >= 0;
    const TRowStore::RowId current = currentRow();
    for (const auto& entry : old) {
        m_order.erase(std::find(m_order.begin(), m_order.end(), entry.second));
    }
    const std::vector<TSortKey> sortKeys = parseSort(m_sort);
    const std::string goKey = go.isValid() ? go.toString().toStdString() : std::string();
    bool goRead = false;
    TRowStore::RowId goRow = 0;
    for (std::size_t r = 0; r < fresh.size(); ++r) {
        const auto freshRow = static_cast<TRowStore::RowId>(r);
        const std::string bytes = fresh.recordBytes(freshRow);
        const std::string k = keyOf(fresh, freshRow);
        TRowStore::RowId row;
        const auto it = old.find(k);
        if (it != old.end()) {
            row = it->second;
            m_store.replace(row, m_store.store(bytes));
            m_unread.erase(row);
            old.erase(it);
        } else {
            row = m_store.append(bytes);
        }
        if (!goKey.empty() && k == goKey) {
            goRead = true;
            goRow = row;
        }
        m_order.insert(std::lower_bound(m_order.begin(), m_order.end(), row,
                                        [&](TRowStore::RowId x, TRowStore::RowId y) {
                                            return rowBefore(sortKeys, x, y);
                                        }),
                       row);
    }
    // Rows the query no longer gives are gone for good, also for a later rebuild.
    for (const auto& gone : old) {
        m_dead.insert(gone.second);
    }
    const int at = goRead ? positionOf(goRow) : (hadRow ? positionOf(current) : -1);
    m_pos = at >= 0 ? at : std::min(std::max(m_pos, 0), LoadedCount() - 1);
    m_bof = m_pos <= 0;
    m_eof = m_order.empty();
    notifyChanged();
    notifyScrolled();
    return true;
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
    m_state = TDataSetState::Inactive;
    m_cursor.reset();
    if (m_fetchTimer) {
        m_fetchTimer->stop();
    }
    m_store.reset(0);
    m_order.clear();
    m_order.shrink_to_fit();
    m_changes.clear();
    m_dead.clear();
    m_unread.clear();
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
    FetchRest();
    moveTo(m_order.empty() ? -1 : LoadedCount() - 1, m_order.empty(), true);
}

void TDataSet::Next() {
    checkBrowse();
    if (m_pos + 1 >= LoadedCount()) {
        FetchRest();
    }
    if (m_pos + 1 < LoadedCount()) {
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
    if (m_pos + distance >= LoadedCount()) {
        FetchRest();
    }
    const int target = std::clamp(m_pos + distance, 0, LoadedCount() - 1);
    const int moved = target - m_pos;
    moveTo(target, distance < 0 && moved != distance, distance > 0 && moved != distance);
    return moved;
}

void TDataSet::SetRecNo(int recNo) {
    checkBrowse();
    if (recNo > LoadedCount()) {
        FetchRest();
    }
    if (recNo < 1 || recNo > LoadedCount()) {
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
    if (!Active() || field.m_column < 0 || position < 0 || position >= LoadedCount()) {
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
                        SameValue(lookup.ValueAt(r, lookup.FieldByName(lookupKeys[k].trimmed())),
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

TCellView TDataSet::DisplayBytesAt(int position, const TField& field) const {
    if (field.FieldKind == TFieldKind::Data && field.FieldClass() != TFieldClass::Boolean &&
        field.FieldClass() != TFieldClass::DateTime && field.FieldClass() != TFieldClass::Float &&
        field.FieldClass() != TFieldClass::Blob &&
        !(position == m_pos && m_state != TDataSetState::Browse)) {
        const TCellView c = CellAt(position, field);
        if (c.tag == TCellView::Text) {
            return c;
        }
    }
    return TCellView();
}

QString TDataSet::DisplayTextAt(int position, const TField& field) const {
    const TCellView c = DisplayBytesAt(position, field);
    return c.tag == TCellView::Text ? c.text() : field.TextOf(ValueAt(position, field));
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
