#pragma once

#include "platform/db/Connection.h"
#include "platform/db/DataSetObservers.h"
#include "platform/db/DbProvider.h"
#include "platform/db/Field.h"
#include "platform/db/Parameters.h"
#include "platform/db/PendingChanges.h"
#include "platform/db/RowFetcher.h"
#include "platform/db/RowStore.h"
#include "platform/db/RowWriter.h"

#include <QObject>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TConnection;
class TRowSort;

enum class TDataSetState { Inactive, Browse, Edit, Insert };
enum class TLockType { Optimistic, BatchOptimistic };

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;

using TBookmark = qint64;  // a row's identity; -1 for none
constexpr TBookmark kNoBookmark = -1;

// The static-cursor dataset every view and dialog uses: a query read whole into memory
// (optionally in slices between the events of the program, first rows first),
// with declared fields, navigation, a client-side sort, Locate, bookmarks, the states
// browse/edit/insert with before/after events, named parameters and optionally cached
// (batch-optimistic) updates written in one transaction. It keeps the rows, their order,
// the current record and its edit; its collaborators read the result (TRowFetcher), order
// it (TRowSort), find records in it (TRecordSearch), read changed keys again
// (TRowRefresh), keep the changes not yet written (TPendingChanges), write changes to the
// catalogue (TRowWriter) and tell the grids (TDataSetObservers).
class TDataSet final : public QObject {
    Q_OBJECT
public:
    using TEvent = std::function<void(TDataSet&)>;

    explicit TDataSet(QObject* parent = nullptr);
    ~TDataSet() override;

    // -- set-up
    void SetConnection(TConnection* connection);
    TConnection* Connection() const { return m_connection; }
    void DetachConnection();
    QString CommandText() const { return m_commandText; }
    void SetCommandText(const QString& jetSql);
    TParameters& Parameters() { return m_parameters; }
    void SetLockType(TLockType type) { m_lockType = type; }

    // Fields declared before opening stay across openings; without any, every column
    // of the result gets a field.
    TField& AddField(const QString& name, TFieldKind kind = TFieldKind::Data);
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TField& Fields(int index) const { return *m_fields[static_cast<std::size_t>(index)]; }
    TField* FindField(const QString& name) const;
    TField& FieldByName(const QString& name) const;

    // -- opening
    // Opening reads the first rows and the rest in slices from the event loop, so that a
    // grid paints at once; whatever needs every row (RecordCount, a sort, moving past the
    // rows held, a change, a search that finds nothing in them) reads the rest first.
    // Only for an opening without a sort; otherwise, and by default, Open reads all.
    void SetFetchInSlices(bool on) { m_fetchInSlices = on; }
    // Rows of the result are still to come.
    bool Fetching() const { return m_fetch.Fetching(); }
    void FetchRest();
    void Open();
    void Close();
    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }
    // Whether another connection has committed a change to the catalogue since the dataset
    // was opened; false when the engine cannot tell.
    bool ChangedElsewhere() const;
    // Runs the query again; the position goes to the first record.
    void Requery();
    // Reads the rows of these keys again with the dataset's own query and parameters, for
    // changes this program has just made to exactly those records (changed: records it
    // held before, created: keys the program has just made, which no row holds yet): a
    // row still in the result takes its new values, a new one joins, one no longer there
    // goes, each in its place in the sort, and the current row stays current while it is
    // there (the row of the key go, when it is among those read, becomes current
    // instead). The answer is what opening anew would give. False, with nothing changed,
    // when that cannot be vouched for: not browsing, cached updates pending, no such key
    // field, too many keys, or another connection changed the catalogue since the dataset
    // was opened (or the engine cannot tell).
    bool RefreshRows(const QString& keyField, const QVariantList& changed,
                     const QVariantList& created = {}, const QVariant& go = QVariant());
    // Reads again just the rows other programs said they changed since this dataset read,
    // when every one of them said which; false when the whole query is to be read again.
    bool RefreshChangedElsewhere(const QString& keyField);

    // -- navigation
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const { return m_order.empty(); }
    // Every record of the result, read to the end first.
    int RecordCount() const;
    // The records held so far, for a grid that shows them as they come.
    int LoadedCount() const { return static_cast<int>(m_order.size()); }
    int RecNo() const { return m_pos + 1; }  // 0 when empty
    void SetRecNo(int recNo);

    // -- sort text "URL ASC,Category DESC" (empty: the order of the query)
    QString Sort() const { return m_sort; }
    void SetSort(const QString& sort);

    bool Locate(const QString& fieldNames, const QVariantList& values, TLocateOptions options);
    // The position (from 0, in the current order) of the first record from `from` on, or
    // back from it, whose value in one of the fields holds the text, letters of any case and
    // "ё" as "е": anywhere in it or at its beginning; -1 for none. Columns other than text
    // by the text they show. The current record stays.
    int FindText(const QList<const TField*>& fields, const QString& text, int from, bool forward,
                 bool anywhere);

    TBookmark GetBookmark() const;
    void GotoBookmark(TBookmark bookmark);
    bool BookmarkValid(TBookmark bookmark) const;

    // -- changes
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Deletes the current row in the catalogue where it still holds the values read, in a
    // transaction of its own when none is under way; a row another connection has changed
    // or deleted since stays as it is there (EConflictError). The row stays here too, for a
    // reading again to remove: for views that delete through the catalogue, not the rows.
    void DeleteInCatalogue();
    // The database already holds this value for the current row (a statement of the
    // program wrote it): the row in memory takes it without a pending change, and the
    // controls repaint the row. No re-query, so the order is left as it is.
    void RefreshCurrentValue(const TField& field, const QVariant& value);
    void UpdateBatch();
    void CancelBatch();
    bool UpdatesPending() const { return !m_pending.Empty(); }
    // A field was set since the current edit or insert began.
    bool Modified() const { return m_modified; }

    // -- controls
    void DisableControls() { m_observers.Disable(); }
    void EnableControls() {
        if (m_observers.Enable()) {
            notifyChanged();
            notifyScrolled();
        }
    }
    // Suspends the controls for one scope, on every path out of it.
    class TControlsGuard {
    public:
        explicit TControlsGuard(TDataSet& ds) : m_ds(ds) { m_ds.DisableControls(); }
        ~TControlsGuard() { m_ds.EnableControls(); }
        TControlsGuard(const TControlsGuard&) = delete;
        TControlsGuard& operator=(const TControlsGuard&) = delete;

    private:
        TDataSet& m_ds;
    };
    void AddObserver(TDataSetObserver* observer) { m_observers.Add(observer); }
    void RemoveObserver(TDataSetObserver* observer) { m_observers.Remove(observer); }

    // -- reading any row by position, without moving the cursor (for grids)
    TCellView CellAt(int position, const TField& field) const;
    QString DisplayTextAt(int position, const TField& field) const;
    // The stored UTF-8 bytes DisplayTextAt shows unchanged, for writers that copy text
    // without making a QString; a null view where the text is made from the value.
    TCellView DisplayBytesAt(int position, const TField& field) const;
    QVariant ValueAt(int position, const TField& field) const;

    // -- events; an exception thrown by a Before event cancels the operation
    // AfterFetch follows AfterOpen once every row is in (at once for a result read whole).
    TEvent AfterOpen, AfterFetch, AfterClose, AfterScroll;
    TEvent BeforeInsert, BeforeEdit, BeforePost, BeforeDelete;
    TEvent OnCalcFields;
    // A slice read from the event loop failed: the rows held stay, the rest is not read.
    std::function<void(TDataSet&, const std::exception&)> OnFetchError;

    // Open on a result whose rows can be written back.
    bool CanModify() const { return Active() && !m_writer.Table().isEmpty(); }
    // The table changes are written to, as found at opening ("" when not updatable).
    QString UpdateTable() const { return m_writer.Table(); }

private:
    friend class TField;

    // RefreshRows; anyOrder: rows without a sort may keep their places on an engine whose
    // unsorted order is its own.
    bool refreshRows(const QString& keyField, const QVariantList& changed,
                     const QVariantList& created, const QVariant& go, bool anyOrder);

    void sliceRead(bool done, std::exception_ptr failure);
    void endFetch();
    void notifyAppended() { m_observers.RowsAppended(); }
    void checkActive() const;
    void checkBrowse();
    void bindFields(const QVector<TColumnInfo>& columns);
    void resetCursor();
    void moveTo(int position, bool bof, bool eof);
    void rebuildOrder();
    // The order a sort text asks for; a name that is no data field throws.
    TRowSort sortOf(const QString& sort) const;
    int positionOf(TRowStore::RowId row) const;
    TRowStore::RowId currentRow() const;
    std::string buildRecord() const;

    void notifyChanged() { m_observers.Changed(); }
    void notifyRecord(int position) { m_observers.RecordChanged(position); }
    void notifyScrolled() { m_observers.Scrolled(m_pos); }
    void fire(const TEvent& event);

    TConnection* m_connection = nullptr;
    QString m_commandText;
    TTranslationCache m_translation;
    TParameters m_parameters;
    TLockType m_lockType = TLockType::Optimistic;

    std::vector<std::unique_ptr<TField>> m_fields;
    QVector<TColumnInfo> m_columns;
    TRowStore m_store;
    std::vector<TRowStore::RowId> m_order;
    TPendingChanges m_pending;
    int m_pos = -1;
    bool m_bof = true;
    bool m_eof = true;
    TDataSetState m_state = TDataSetState::Inactive;
    QVariantList m_buffer;  // the record being edited or inserted, one value per column
    QVector<bool> m_touched;
    bool m_modified = false;  // columns set during this edit; the others keep their bytes
    QString m_sort;
    // The catalogue's change stamp when the rows were read; none when it cannot be known.
    std::optional<qint64> m_changeStamp;
    quint64 m_openEpoch = 0;

    bool m_fetchInSlices = false;
    TRowFetcher m_fetch;
    TRowWriter m_writer;

    TDataSetObservers m_observers;
};
