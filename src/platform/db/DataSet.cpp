#include "platform/db/DataSet.h"

#include "platform/db/Connection.h"
#include "platform/db/RecordSearch.h"
#include "platform/db/RowRefresh.h"
#include "platform/db/RowSort.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>

TDataSet::TDataSet(QObject* parent)
    : QObject(parent),
      m_fetch(m_store, m_order,
              [this](bool done, std::exception_ptr failure) { sliceRead(done, failure); }),
      m_writer(m_store, m_columns) {}

TDataSet::~TDataSet() {
    m_observers.Clear();
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

void TDataSet::Open() {
    if (Active()) {
        return;
    }
    if (!m_connection) {
        throw EDatabaseError(tr("Набор данных не связан с соединением"));
    }
    // The link first: the statement is put in the dialect of the engine it will run on, not
    // in the one kept for a connection that is down.
    m_connection->ReconnectIfLost();
    const TTranslatedSql& sql = m_translation.For(m_connection, m_commandText);
    const QVariantList values = m_parameters.ValuesFor(sql.parameters);
    // Taken before the read: a change committed during it shows as a newer stamp.
    m_changeStamp = m_connection->Provider().changeStamp();
    m_openEpoch = m_connection->Epoch();
    std::unique_ptr<TDbCursor> cursor = m_connection->Provider().query(sql.sql, values);
    // A sorted view needs every row before its first one is known.
    const bool done = m_fetch.ReadFirst(*cursor, m_fetchInSlices && m_sort.isEmpty());
    m_columns = cursor->columns();
    try {
        bindFields(m_columns);
        sortOf(m_sort);  // a sort naming no field fails the opening, not half of it
    } catch (...) {
        m_store.reset(0);
        m_columns.clear();
        throw;
    }
    m_writer.FindTarget(m_connection->Provider());
    m_pending.Clear();
    m_state = TDataSetState::Browse;
    if (!done) {
        m_fetch.Continue(std::move(cursor));
    }
    rebuildOrder();
    resetCursor();
    notifyChanged();
    fire(AfterOpen);
    if (done && Active()) {
        fire(AfterFetch);
    }
}

int TDataSet::RecordCount() const {
    const_cast<TDataSet*>(this)->FetchRest();
    return LoadedCount();
}

void TDataSet::FetchRest() {
    if (!Fetching()) {
        return;
    }
    try {
        m_fetch.ReadRest();
    } catch (...) {
        // The caller hears of it; the rows read stay, and the result is not read further.
        endFetch();
        throw;
    }
    endFetch();
}

void TDataSet::sliceRead(bool done, std::exception_ptr failure) {
    if (done) {
        // The cursor goes before anybody hears of a failure: a failed statement stepped
        // again would start its result over.
        endFetch();
        if (failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& e) {
                if (OnFetchError) {
                    OnFetchError(*this, e);
                } else {
                    qWarning("%s", e.what());
                }
            }
        }
        return;
    }
    m_eof = m_order.empty();
    if (m_fetch.NoticeDue()) {
        notifyAppended();
    }
    m_fetch.Resume();
}

void TDataSet::endFetch() {
    m_fetch.Stop();
    m_eof = m_order.empty();
    notifyAppended();
    fire(AfterFetch);
}

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
    if (m_state != TDataSetState::Browse || !m_pending.Empty() || !key ||
        key->FieldKind != TFieldKind::Data || key->m_column < 0 || keys.size() > kMaxKeys ||
        !m_changeStamp || ChangedElsewhere() ||
        (m_sort.isEmpty() && !anyOrder && !m_connection->Provider().stableOrder())) {
        return false;
    }
    if (keys.isEmpty()) {
        return true;
    }
    const bool hadRow = m_pos >= 0;
    const TRowStore::RowId current = currentRow();
    TRowRefresh refresh(m_store, m_order, m_pending);
    const TRowRefresh::TQuery query{m_connection, m_commandText, m_parameters, key->m_column,
                                    m_columns[key->m_column].name};
    std::optional<TRowStore::RowId> goRow;
    if (!refresh.Refresh(query, changed, created, m_pos, sortOf(m_sort), go, goRow)) {
        return false;
    }
    const int at = goRow ? positionOf(*goRow) : (hadRow ? positionOf(current) : -1);
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

void TDataSet::Close() {
    if (!Active()) {
        return;
    }
    m_state = TDataSetState::Inactive;
    m_fetch.Stop();
    m_store.reset(0);
    m_order.clear();
    m_order.shrink_to_fit();
    m_pending.Clear();
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

// ---------------------------------------------------------------- order and search

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
    const TRowSort order = sortOf(sort);  // an unknown field leaves the old order in place
    m_sort = sort;
    const bool hasRow = m_pos >= 0;
    const TRowStore::RowId row = currentRow();
    order.Apply(m_store, m_order);
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
        if (m_pending.Hidden(row)) {
            continue;
        }
        m_order.push_back(row);
    }
    sortOf(m_sort).Apply(m_store, m_order);
}

TRowSort TDataSet::sortOf(const QString& sort) const {
    return TRowSort(sort, [this](const QString& name) { return FindField(name); });
}

bool TDataSet::Locate(const QString& fieldNames, const QVariantList& values,
                      TLocateOptions options) {
    checkBrowse();
    const TRecordSearch search(*this, m_store, m_order);
    int at = search.Locate(fieldNames, values, options);
    // While the rest is read, the rows held are the result's first in its order (there is
    // no sort then): a hit among them is the answer a full search gives.
    if (at < 0 && Fetching()) {
        FetchRest();
        at = search.Locate(fieldNames, values, options);
    }
    if (at < 0) {
        return false;
    }
    moveTo(at, false, false);
    return true;
}

int TDataSet::FindText(const QList<const TField*>& fields, const QString& text, int from,
                       bool forward, bool anywhere) {
    checkBrowse();
    if (text.isEmpty() || fields.isEmpty()) {
        return -1;
    }
    FetchRest();
    return TRecordSearch(*this, m_store, m_order).FindText(fields, text, from, forward, anywhere);
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
            return field.ValueOf(CellAt(pos, field));
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
        case TFieldKind::Lookup:
            return field.LookedUp(pos);
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

// ---------------------------------------------------------------- changes

void TDataSet::Edit() {
    checkActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        return;
    }
    // A change lands among all the rows, and its writing needs the connection.
    FetchRest();
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
        m_buffer << (f ? f->ValueOf(cell) : cell.variant());
    }
    m_touched.fill(false, m_columns.size());
    m_modified = false;
    m_state = TDataSetState::Edit;
    notifyRecord(m_pos);
}

void TDataSet::Insert() {
    checkBrowse();
    FetchRest();
    fire(BeforeInsert);
    m_buffer.clear();
    for (int c = 0; c < m_columns.size(); ++c) {
        m_buffer << QVariant();
    }
    m_touched.fill(true, m_columns.size());
    m_modified = false;
    m_state = TDataSetState::Insert;
    notifyRecord(m_pos);
}

void TDataSet::Append() {
    checkBrowse();
    if (!m_order.empty()) {
        moveTo(LoadedCount() - 1, false, true);
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
            m_pending.HoldEdit(row, before);
        } else {
            m_writer.Write(m_connection, {TChangeKind::Modified, before}, stored, nullptr);
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
                m_writer.Write(m_connection, {TChangeKind::Inserted, nullptr}, m_store.record(row),
                               &returnedKey);
            } catch (...) {
                m_pending.Gone(row);
                throw;
            }
            m_pending.Inserted(row);
        } else {
            m_store.append(record);
        }
        const auto row = static_cast<TRowStore::RowId>(m_store.size() - 1);
        if (m_lockType == TLockType::BatchOptimistic) {
            m_pending.HoldInsert(row);
        } else if (!returnedKey.isEmpty()) {
            const QVector<int>& keyColumns = m_writer.KeyColumns();
            for (int k = 0; k < keyColumns.size() && k < returnedKey.size(); ++k) {
                m_buffer[keyColumns[k]] = returnedKey[k];
            }
            m_store.replace(row, m_store.store(buildRecord()));
        }
        const int at = m_pos < 0 ? 0 : (m_eof ? LoadedCount() : m_pos);
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
}

void TDataSet::Cancel() {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        return;
    }
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    m_modified = false;
    notifyRecord(m_pos);
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
    FetchRest();
    if (m_order.empty()) {
        throw EDatabaseError(tr("Нет записи для удаления"));
    }
    fire(BeforeDelete);
    const TRowStore::RowId row = currentRow();
    if (m_lockType == TLockType::BatchOptimistic) {
        m_pending.HoldDelete(row, m_store.record(row));
    } else {
        m_writer.Write(m_connection,
                       {TChangeKind::Deleted, m_store.record(row), m_pending.Unread(row)}, nullptr,
                       nullptr);
        m_pending.Gone(row);
    }
    m_order.erase(m_order.begin() + m_pos);
    if (m_pos >= LoadedCount()) {
        m_pos = LoadedCount() - 1;
    }
    m_bof = m_pos <= 0;
    m_eof = m_order.empty();
    notifyChanged();
    notifyScrolled();
}

void TDataSet::DeleteInCatalogue() {
    checkBrowse();
    FetchRest();
    if (m_order.empty()) {
        throw EDatabaseError(tr("Нет записи для удаления"));
    }
    const TRowStore::RowId row = currentRow();
    m_writer.Write(m_connection, {TChangeKind::Deleted, m_store.record(row), m_pending.Unread(row)},
                   nullptr, nullptr);
}

void TDataSet::UpdateBatch() {
    checkBrowse();
    if (m_pending.Empty()) {
        return;
    }
    m_writer.WriteBatch(*m_connection, m_pending.Changes());
    m_pending.Written();
    notifyChanged();
}

void TDataSet::CancelBatch() {
    checkActive();
    Cancel();
    if (m_pending.Empty()) {
        return;
    }
    const bool hasRow = m_pos >= 0;
    const TRowStore::RowId row = currentRow();
    m_pending.Revert(m_store);
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
